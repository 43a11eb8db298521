// Renders the main window on the disc in the image drives into a PNG, for the README. Run with
// TUNECREST_IMAGE_DRIVES=build/sample/TunecrestSampler.cue and QT_QPA_PLATFORM=offscreen:
// build/tools/window_screenshot data/screenshot.png
#include "components/audiofile/TAudioFile2.h"
#include "components/audiofile/TAudioFile2LameEnc.h"
#include "components/grabber/AudioCDGrabber.h"
#include "components/player/TAudioPlayer2.h"
#include "gui/SkinLocation.h"
#include "gui/TSkin.h"
#include "gui/Prompter.h"
#include "gui/Windows.h"

#include <QApplication>
#include <QPixmap>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char* argv[])
{
    // The splash picture and the icon are built into the window library.
    Q_INIT_RESOURCE(shell);
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: window_screenshot OUT.png\n");
        return 2;
    }
    const QTemporaryDir settings;
    MainWindowParts parts;
    parts.grabber = std::make_unique<TAudioCDGrabber2>(std::make_unique<TAudioFile2>());
    parts.lame = std::make_unique<TAudioFile2LameEnc>();
    parts.skin = std::make_unique<TSkin>();
    parts.player = std::make_unique<TAudioPlayer2>();
    parts.prompter = std::make_unique<MessageBoxPrompter>();
    parts.settingsPath = settings.filePath(QStringLiteral("settings.ini"));
    parts.skinPath =
        findSkinFile(nullptr, QCoreApplication::applicationDirPath() + QStringLiteral("/../src"));
    Windows windows(std::move(parts));
    windows.main().show();
    windows.main().FormShow();
    QApplication::processEvents();
    return windows.main().grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
