// Read speed of the grabber from a disc image, in times real time, next to cd-paranoia on the
// same image. Every reader writes WAV files into the same temporary folder.
//
//   grab_bench [--minutes M] [--tracks N] [--runs R]
//
// Writes an image of M minutes (default 20) in N tracks (default 5) of the test signal, grabs
// every track in each grab mode and rips the whole disc with cd-paranoia (full paranoia, and
// with -Z, paranoia off). Prints the best of R runs (default 2).

#include "DiscImage.h"
#include "TestAudio.h"
#include "support/WavAudioFile.h"

#include "components/grabber/AudioCDGrabber.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>

namespace {

struct Options
{
    int minutes = 20;
    int tracks = 5;
    int runs = 2;
};

Options parse(const QStringList& args)
{
    Options options;
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        const int value = args.at(i + 1).toInt();
        if (args.at(i) == u"--minutes")
            options.minutes = value;
        else if (args.at(i) == u"--tracks")
            options.tracks = value;
        else if (args.at(i) == u"--runs")
            options.runs = value;
    }
    options.minutes = std::max(options.minutes, 1);
    options.tracks = std::clamp(options.tracks, 1, 99);
    options.runs = std::max(options.runs, 1);
    return options;
}

/// Seconds of the fastest of runs calls of work; negative when a run failed.
double bestOf(int runs, const std::function<bool()>& work)
{
    double best = std::numeric_limits<double>::max();
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        if (!work())
            return -1;
        best = std::min(best, clock.nsecsElapsed() / 1e9);
    }
    return best;
}

bool grabEveryTrack(TAudioCDGrabber2& grabber, const QDir& out)
{
    for (int i = 0; i < grabber.TrackCount(); ++i) {
        const QString file = out.filePath(QStringLiteral("grab%1.wav").arg(i + 1));
        QFile::remove(file);
        bool complete = false;
        QEventLoop loop;
        QObject::connect(&grabber, &IAudioCDGrabber2::OnOperationProgress, &loop,
                         [&](double percent) {
                             if (percent == 100.0) {
                                 complete = true;
                                 loop.quit();
                             }
                         });
        QObject::connect(&grabber, &IAudioCDGrabber2::grabFailed, &loop,
                         [&](const QString& message) {
                             std::fprintf(stderr, "grab failed: %s\n", qPrintable(message));
                             loop.quit();
                         });
        grabber.CurrentTrack(i);
        grabber.GrabToFile(file);
        loop.exec();
        grabber.AudioFile()->Close();
        if (!complete)
            return false;
    }
    return true;
}

bool ripWithCdParanoia(const QString& cue, const QDir& out, bool paranoiaOff, qint64 bytes)
{
    const QString file = out.filePath(QStringLiteral("cd-paranoia.wav"));
    QFile::remove(file);
    QStringList args{QStringLiteral("-q"), QStringLiteral("-d"), cue, QStringLiteral("-w")};
    if (paranoiaOff)
        args.append(QStringLiteral("-Z"));
    args << QStringLiteral("1-") << file;
    QProcess process;
    process.start(QStringLiteral("cd-paranoia"), args);
    if (!process.waitForFinished(-1) || process.exitCode() != 0) {
        std::fprintf(stderr, "cd-paranoia failed: %s\n",
                     process.readAllStandardError().constData());
        return false;
    }
    return QFileInfo(file).size() == bytes + 44;
}

void report(const char* reader, double seconds, double audioSeconds)
{
    if (seconds < 0)
        std::printf("%-26s failed\n", reader);
    else
        std::printf("%-26s %8.2f s %9.1fx\n", reader, seconds, audioSeconds / seconds);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const Options options = parse(app.arguments());
    QTemporaryDir dir;
    const QDir out(dir.path());
    const QString cue = out.filePath(QStringLiteral("bench.cue"));

    const int total = options.minutes * 60 * DiscFixture::SectorsPerSecond;
    DiscFixture::writeDisc(cue.toStdString(),
                           DiscFixture::audioDisc(std::vector<int>(
                               static_cast<std::size_t>(options.tracks), total / options.tracks)));
    const int sectors = total / options.tracks * options.tracks;
    const double audioSeconds = double(sectors) / DiscFixture::SectorsPerSecond;
    std::printf("Image: %d min in %d tracks (%s); best of %d runs\n\n", options.minutes,
                options.tracks, qPrintable(cue), options.runs);
    std::printf("%-26s %10s %10s\n", "reader", "time", "speed");

    qputenv("TUNECREST_IMAGE_DRIVES", cue.toLocal8Bit());
    TAudioCDGrabber2 grabber(std::make_unique<WavAudioFile>());
    grabber.Initialize();
    grabber.CurrentDevice(grabber.DeviceCount());
    grabber.ReadDisc();
    const char* modes[] = {"grabber Burst (0)", "grabber Synch (1)", "grabber Secure (2)",
                           "grabber Paranoid (3)"};
    for (int mode = 0; mode < 4; ++mode) {
        grabber.GrabMode(mode);
        report(modes[mode], bestOf(options.runs, [&] { return grabEveryTrack(grabber, out); }),
               audioSeconds);
    }
    const qint64 bytes = qint64(sectors) * DiscFixture::SectorBytes;
    report("cd-paranoia (full)",
           bestOf(options.runs, [&] { return ripWithCdParanoia(cue, out, false, bytes); }),
           audioSeconds);
    report("cd-paranoia -Z (off)",
           bestOf(options.runs, [&] { return ripWithCdParanoia(cue, out, true, bytes); }),
           audioSeconds);
    return EXIT_SUCCESS;
}
