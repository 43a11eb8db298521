// The window's conversion run next to tunecrest-rip -j 1 on the same disc image, both to WMA at
// the default 128 kbps: wall time from the command to the folder opening, and CPU time, which
// shows whether the window's wait costs anything beyond the grab and the encoder.
//
//   window_run_bench [--minutes M] [--runs R]
//
// Writes an image of M minutes (default 40) in 10 tracks, and prints the best of R runs
// (default 2) of each, in alternating order.

#include "DiscImage.h"
#include "TestAudio.h"

#include "components/audiofile/QueuedAudioFile.h"
#include "components/audiofile/TAudioFile2.h"
#include "components/audiofile/TAudioFile2LameEnc.h"
#include "components/grabber/AudioCDGrabber.h"
#include "components/grabber/ReadHeap.h"
#include "gui/MainWindow.h"
#include "settings/SettingsFile.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

// Records nothing and answers No: the run shows no boxes.
class SilentPrompter final : public IPrompter
{
public:
    void information(QWidget*, const QString&) override {}
    bool question(QWidget*, const QString&, Icon) override { return false; }
};

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Timing
{
    double wall = 1e9;
    double cpu = 1e9;
    void keepBest(double w, double c)
    {
        wall = std::min(wall, w);
        cpu = std::min(cpu, c);
    }
};

Timing windowRun(const QString& settings, Timing best)
{
    MainWindowParts parts;
    parts.grabber = std::make_unique<TAudioCDGrabber2>(
        std::make_unique<QueuedAudioFile>(std::make_unique<TAudioFile2>()));
    parts.lame = std::make_unique<TAudioFile2LameEnc>();
    parts.prompter = std::make_unique<SilentPrompter>();
    parts.settingsPath = settings;
    Tfm_main window(std::move(parts));
    window.FormShow();
    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    QElapsedTimer clock;
    clock.start();
    window.Skin1Click(QStringLiteral("converter"));
    best.keepBest(clock.elapsed() / 1000.0, cpuSeconds(RUSAGE_SELF) - cpuBefore);
    return best;
}

Timing cliRun(const QString& cue, const QString& out, Timing best)
{
    const double cpuBefore = cpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer clock;
    clock.start();
    QProcess rip;
    rip.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../src/tunecrest-rip"),
              {QStringLiteral("-q"), QStringLiteral("-j"), QStringLiteral("1"),
               QStringLiteral("-d"), cue, QStringLiteral("-o"), out});
    rip.waitForFinished(-1);
    if (rip.exitCode() != 0)
        std::fprintf(stderr, "tunecrest-rip failed: %s\n", rip.readAllStandardError().constData());
    best.keepBest(clock.elapsed() / 1000.0, cpuSeconds(RUSAGE_CHILDREN) - cpuBefore);
    return best;
}

} // namespace

int main(int argc, char* argv[])
{
    tuneHeapForSecureReads(); // as the window program does
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int minutes = 40;
    int runs = 2;
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == u"--minutes")
            minutes = std::max(1, args[i + 1].toInt());
        if (args[i] == u"--runs")
            runs = std::max(1, args[i + 1].toInt());
    }
    QTemporaryDir work;
    const QString cue = work.filePath(QStringLiteral("bench.cue"));
    const int total = minutes * 60 * DiscFixture::SectorsPerSecond;
    DiscFixture::writeDisc(cue.toStdString(),
                           DiscFixture::audioDisc(std::vector<int>(10, total / 10)));
    qputenv("TUNECREST_IMAGE_DRIVES", cue.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", work.path().toLocal8Bit());
    // No file manager opens at the end: an opener that does nothing comes first on PATH.
    QDir(work.path()).mkpath(QStringLiteral("bin"));
    QFile opener(work.filePath(QStringLiteral("bin/xdg-open")));
    opener.open(QIODevice::WriteOnly);
    opener.write("#!/bin/sh\n");
    opener.close();
    opener.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::WriteOwner);
    qputenv("PATH", work.filePath(QStringLiteral("bin")).toLocal8Bit() + ':' + qgetenv("PATH"));

    const QString settings = work.filePath(QStringLiteral("LumRipwellconverter.ini"));
    Timing window;
    Timing cli;
    for (int run = 0; run < runs; ++run) {
        for (int turn = 0; turn < 2; ++turn) {
            const QString out = work.filePath(QStringLiteral("out"));
            QDir(out).removeRecursively();
            SettingsFile(settings).writeString(QStringLiteral("Main"), QStringLiteral("Path"), out);
            if ((run + turn) % 2 == 0)
                window = windowRun(settings, window);
            else
                cli = cliRun(cue, out, cli);
        }
    }
    const double audio = minutes * 60.0;
    std::printf("WMA 128 kbps, %d min in 10 tracks, best of %d runs\n", minutes, runs);
    std::printf("%-26s %8s %8s %10s\n", "", "wall s", "CPU s", "x realtime");
    std::printf("%-26s %8.2f %8.2f %10.1f\n", "window run", window.wall, window.cpu,
                audio / window.wall);
    std::printf("%-26s %8.2f %8.2f %10.1f\n", "tunecrest-rip -j 1", cli.wall, cli.cpu,
                audio / cli.wall);
    std::printf("window / cli: wall %.3f, CPU %.3f\n", window.wall / cli.wall,
                window.cpu / cli.cpu);
    return 0;
}
