#include "gui/Desktop.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace {

QString helpFileName(HelpPage page)
{
    switch (page) {
    case HelpPage::Faq:
        return QStringLiteral("faq.htm");
    case HelpPage::Home:
        return QStringLiteral("index.html");
    case HelpPage::DriverDownload:
        return QStringLiteral("drive.html");
    case HelpPage::RuntimeDownload:
        return QStringLiteral("wma.html");
    }
    return {};
}

} // namespace

QString helpPageAddress(HelpPage page)
{
    const QString name = helpFileName(page);
    const QDir programDir(QCoreApplication::applicationDirPath());
    QString file = programDir.filePath(QStringLiteral("help/") + name);
    if (!QFileInfo::exists(file))
        file = programDir.filePath(QStringLiteral("../share/tunecrest/help/") + name);
    return QUrl::fromLocalFile(QDir::cleanPath(file)).toString();
}

QString supportMailAddress()
{
    return QStringLiteral("mailto:support@tunecrest.example");
}

bool openWithDesktop(const QString& target)
{
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    return !opener.isEmpty() && QProcess::startDetached(opener, {target});
}
