#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tunecrest-rip"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TUNECREST_VERSION));
    QTextStream(stdout) << "tunecrest-rip " << QCoreApplication::applicationVersion() << '\n';
    return 0;
}
