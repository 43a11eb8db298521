#include "components/audiofile/QueuedAudioFile.h"
#include "components/audiofile/TAudioFile2.h"
#include "components/audiofile/TAudioFile2LameEnc.h"
#include "components/grabber/AudioCDGrabber.h"
#include "components/grabber/ReadHeap.h"
#include "components/player/TAudioPlayer2.h"
#include "gui/Application.h"
#include "gui/MainWindow.h"
#include "gui/Prompter.h"
#include "gui/Scan.h"
#include "gui/SingleInstance.h"
#include "gui/SkinLocation.h"
#include "gui/TSkin.h"
#include "gui/Windows.h"
#include "settings/Locations.h"

#include <QMessageBox>

#include <cstdio>

int main(int argc, char* argv[])
{
    tuneHeapForSecureReads();
    // The splash picture and the icon are built into the window library.
    Q_INIT_RESOURCE(shell);
    TunecrestApplication app(argc, argv);
    // One program per user; a second start ends at once, without a window.
    SingleInstance instance(QStringLiteral("Lumen Tunecrest Ripper"));
    if (instance.anotherIsRunning())
        return 0;
    auto* splash = new Tfm_scan; // deletes itself when it closes
    splash->show();
    QCoreApplication::processEvents();
    QApplication::setApplicationName(QStringLiteral("Ripwell Converter"));

    QStringList tried;
    const QString skin = findSkinFile(&tried);
    if (skin.isEmpty()) {
        const QString message =
            QStringLiteral("The skin file mp3enc.dll was not found. Looked in:\n") +
            tried.join(u'\n');
        std::fprintf(stderr, "tunecrest: %s\n", message.toLocal8Bit().constData());
        // Without a screen (offscreen) nobody could close the box.
        if (QGuiApplication::platformName() != u"offscreen")
            QMessageBox::critical(nullptr, QApplication::applicationName(), message);
        return 1;
    }

    MainWindowParts parts;
    // The encoder works on a thread of its own, so the disc is read while the last stretch is
    // still being encoded, as tunecrest-rip does.
    parts.grabber = std::make_unique<TAudioCDGrabber2>(
        std::make_unique<QueuedAudioFile>(std::make_unique<TAudioFile2>()));
    parts.lame = std::make_unique<TAudioFile2LameEnc>();
    parts.skin = std::make_unique<TSkin>();
    parts.player = std::make_unique<TAudioPlayer2>();
    parts.prompter = std::make_unique<MessageBoxPrompter>();
    parts.settingsPath = Locations::settingsFilePath();
    parts.skinPath = skin;
    Windows windows(std::move(parts));
    // A restart's new process must find the name free.
    windows.main().setRestartPreparation([&instance] { instance.release(); });
    app.setExceptionHandler(
        [&windows](const QString& message) { windows.main().reportException(message); });
    windows.main().show();
    return QApplication::exec();
}
