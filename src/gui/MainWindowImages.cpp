// Disc images opened from the main window: the File menu's "Open disc image…" and its list of
// recent images, and images dropped on the window.
#include "base/ComponentError.h"
#include "components/audiofile/TAudioFile2.h"
#include "components/grabber/AudioCDGrabber.h"
#include "gui/DirDialog.h"
#include "gui/MainWindow.h"
#include "gui/Prompter.h"
#include "rip/RipCheck.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>

#include <cstdio>

namespace {

// The kinds of image the grabber's image drives read.
bool isDiscImageName(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == u"cue" || suffix == u"toc" || suffix == u"nrg";
}

// The first disc image among the local files that a drag carries; empty when there is none.
QString droppedImage(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile() && isDiscImageName(url.toLocalFile()))
            return url.toLocalFile();
    return {};
}

// A line of the settings file cannot hold a line break.
bool fitsOneLine(const QString& text)
{
    return !text.contains(u'\n') && !text.contains(u'\r');
}

} // namespace

void Tfm_main::OpenImage1Click()
{
    if (m_converting)
        return;
    const QStringList recent = recentImages();
    const QString start =
        recent.isEmpty() ? QDir::homePath() : QFileInfo(recent.front()).absolutePath();
    const QString image = QFileDialog::getOpenFileName(
        this, QStringLiteral("Open disc image"), start,
        QStringLiteral("Disc images (*.cue *.toc *.nrg);;All files (*)"));
    if (!image.isEmpty())
        openDiscImage(image);
}

void Tfm_main::CheckRip1Click()
{
    if (m_converting)
        return;
    const QStringList recent = recentImages();
    const QString sheet = QFileDialog::getOpenFileName(
        this, QStringLiteral("Check rip"),
        recent.isEmpty() ? QDir::homePath() : QFileInfo(recent.front()).absolutePath(),
        QStringLiteral("Cue sheets (*.cue)"));
    if (!sheet.isEmpty())
        checkRip(sheet);
}

void Tfm_main::checkRip(const QString& sheet)
{
    // The rip's files are read as a disc image of their own, beside the window's drives.
    dirDialog()->showFreeDBInfo(this, true);
    appendFreeDBLog(QStringLiteral("Checking the rip of ") + QDir::toNativeSeparators(sheet));
    TAudioCDGrabber2 reader(std::make_unique<TAudioFile2>());
    reader.CurrentDevice(reader.addImageDrive(QFileInfo(sheet).absoluteFilePath()));
    RipCheckResult result;
    try {
        result = ::checkRip(reader, m_settings->path(), QFileInfo(sheet).absoluteFilePath());
    } catch (const ComponentError& e) {
        appendFreeDBLog(e.message());
        return;
    }
    appendFreeDBLog(result.log.isEmpty() ? QStringLiteral("No rip log beside the sheet.")
                                         : QStringLiteral("Rip log: ") + result.log);
    if (!result.accurateRip.isEmpty())
        appendFreeDBLog(result.accurateRip);
    int failed = 0;
    for (const RipCheckTrack& track : result.tracks) {
        appendFreeDBLog(ripCheckLine(track));
        failed += track.fails() ? 1 : 0;
    }
    appendFreeDBLog(failed == 0
                        ? QStringLiteral("The rip checks out.")
                        : QStringLiteral("%1 track(s) disagree or could not be read.").arg(failed));
}

void Tfm_main::openDiscImage(const QString& path)
{
    // The run reads the drive that is selected; the image waits for its end.
    if (m_converting || m_runActive)
        return;
    const QString image = QFileInfo(path).absoluteFilePath();
    if (!QFileInfo(image).isFile()) {
        forgetImage(image);
        m_parts.prompter->information(
            this, QStringLiteral("The disc image %1 does not exist.").arg(image));
        return;
    }
    const int number = imageDrive(image);
    const QString problem = m_grabber->driveProblem(number);
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "tunecrest: %s\n", problem.toLocal8Bit().constData());
        m_parts.prompter->information(this, problem);
        return;
    }
    rememberImage(image);
    if (m_playing)
        StopPlay();
    m_grabber->CurrentDevice(number);
    AudioCDGrabber21MediaChange();
}

int Tfm_main::imageDrive(const QString& image)
{
    for (int number = 1; number <= m_grabber->DeviceCount(); ++number)
        if (QFileInfo(m_grabber->describeDrive(number).tag).absoluteFilePath() == image)
            return number;
    return m_grabber->addDrive(image);
}

QStringList Tfm_main::recentImages() const
{
    QStringList images;
    if (!m_settings)
        return images;
    const QString section = QLatin1StringView(Keys::Images::Section);
    for (const char* key : Keys::Images::RecentKeys) {
        const QString image = m_settings->readString(section, QLatin1StringView(key), QString());
        if (!image.isEmpty() && !images.contains(image))
            images << image;
    }
    return images;
}

void Tfm_main::rememberImage(const QString& image)
{
    if (!fitsOneLine(image))
        return;
    QStringList images = recentImages();
    images.removeAll(image);
    images.prepend(image);
    writeRecentImages(images.mid(0, Keys::Images::RecentCount));
}

void Tfm_main::forgetImage(const QString& image)
{
    QStringList images = recentImages();
    if (images.removeAll(image) > 0)
        writeRecentImages(images);
}

void Tfm_main::writeRecentImages(const QStringList& images)
{
    if (!m_settings)
        return;
    SettingsFile::Entries entries;
    for (qsizetype i = 0; i < images.size() && i < Keys::Images::RecentCount; ++i)
        entries.append({QLatin1StringView(Keys::Images::RecentKeys[i]), images[i]});
    // The list is a convenience: a settings file that takes no writes leaves it as it was.
    try {
        m_settings->writeSection(QLatin1StringView(Keys::Images::Section), entries);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tunecrest: %s\n", e.what());
    }
    fillRecentImages();
}

void Tfm_main::fillRecentImages()
{
    m_recentImages->clear();
    const QStringList images = recentImages();
    for (qsizetype i = 0; i < images.size(); ++i) {
        const QFileInfo file(images[i]);
        // The image's name, then its folder; "&" shows as itself, the number is the shortcut.
        QString shown = file.fileName() + QStringLiteral("  (") +
                        QDir::toNativeSeparators(file.absolutePath()) + u')';
        shown = fontMetrics().elidedText(shown.replace(u'&', QStringLiteral("&&")), Qt::ElideMiddle,
                                         420);
        QAction* action = m_recentImages->addAction(QStringLiteral("&%1 ").arg(i + 1) + shown);
        action->setObjectName(QStringLiteral("Recent%1").arg(i + 1));
        action->setToolTip(images[i]);
        const QString image = images[i];
        connect(action, &QAction::triggered, this,
                [this, image] { runHandler([this, image] { openDiscImage(image); }); });
    }
    m_recentImages->menuAction()->setEnabled(!images.isEmpty());
}

void Tfm_main::dragEnterEvent(QDragEnterEvent* event)
{
    if (!m_converting && !droppedImage(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void Tfm_main::dropEvent(QDropEvent* event)
{
    const QString image = droppedImage(event->mimeData());
    if (image.isEmpty())
        return;
    event->acceptProposedAction();
    runHandler([this, image] { openDiscImage(image); });
}
