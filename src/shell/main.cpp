#include "shell/MainWindow.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tunecrest Ripper"));
    Tfm_main window;
    window.show();
    return QApplication::exec();
}
