// Read speed of the grabber from disc images, in times real time, next to cd-paranoia on the
// same disc, and the time it takes to open large images. Every reader writes WAV files into the
// same temporary folder.
//
//   grab_bench [--minutes M] [--tracks N] [--runs R]
//
// Writes a disc of M minutes (default 20) in N tracks (default 5) of the test signal as a BIN, a
// WAVE file, FLAC files per track and a cdrdao TOC over a raw file, grabs every track of each in
// each grab mode, and rips the BIN with cd-paranoia (full paranoia, and with -Z, paranoia off).
// Prints the best of R runs (default 2). Then opens (ReadDisc) a cue sheet of 99 tracks over a
// sparse WAVE file of 700 MB.

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
#include <memory>

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

void report(const QString& reader, double seconds, double audioSeconds)
{
    if (seconds < 0)
        std::printf("%-34s failed\n", qPrintable(reader));
    else
        std::printf("%-34s %8.2f s %9.1fx\n", qPrintable(reader), seconds, audioSeconds / seconds);
}

std::unique_ptr<TAudioCDGrabber2> grabberOf(const QString& sheet)
{
    auto grabber = std::make_unique<TAudioCDGrabber2>(std::make_unique<WavAudioFile>());
    grabber->CurrentDevice(grabber->addImageDrive(sheet));
    return grabber;
}

/// A cue sheet of 99 tracks over a sparse WAVE file of 700 MB: its header, then a hole.
QString largeSparseImage(const QDir& out)
{
    const QString wave = out.filePath(QStringLiteral("large.wav"));
    DiscFixture::writeAudioFile(wave.toStdString(), {}, DiscFixture::AudioFileKind::Wave);
    constexpr qint64 AudioBytes = qint64{700} * 1024 * 1024 / 2352 * 2352;
    QFile file(wave);
    file.open(QIODevice::ReadWrite);
    file.seek(4);
    const quint32 riffSize = quint32(36 + AudioBytes);
    file.write(reinterpret_cast<const char*>(&riffSize), 4);
    file.seek(40);
    const quint32 dataSize = quint32(AudioBytes);
    file.write(reinterpret_cast<const char*>(&dataSize), 4);
    file.resize(44 + AudioBytes);
    file.close();
    QByteArray cue = "FILE \"large.wav\" WAVE\n";
    const qint64 trackSectors = AudioBytes / 2352 / 99;
    for (int track = 1; track <= 99; ++track) {
        const qint64 start = (track - 1) * trackSectors;
        cue += QStringLiteral("  TRACK %1 AUDIO\n    TITLE \"Track %1\"\n    INDEX 01 %2:%3:%4\n")
                   .arg(track, 2, 10, QChar(u'0'))
                   .arg(start / 4500, 2, 10, QChar(u'0'))
                   .arg(start / 75 % 60, 2, 10, QChar(u'0'))
                   .arg(start % 75, 2, 10, QChar(u'0'))
                   .toUtf8();
    }
    const QString sheet = out.filePath(QStringLiteral("large.cue"));
    QFile sheetFile(sheet);
    sheetFile.open(QIODevice::WriteOnly);
    sheetFile.write(cue);
    return sheet;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const Options options = parse(app.arguments());
    QTemporaryDir dir;
    const QDir out(dir.path());

    const int total = options.minutes * 60 * DiscFixture::SectorsPerSecond;
    const DiscFixture::DiscLayout disc = DiscFixture::audioDisc(
        std::vector<int>(static_cast<std::size_t>(options.tracks), total / options.tracks));
    const int sectors = total / options.tracks * options.tracks;
    const double audioSeconds = double(sectors) / DiscFixture::SectorsPerSecond;
    std::printf("Disc: %d min in %d tracks (%s); best of %d runs\n\n", options.minutes,
                options.tracks, qPrintable(out.path()), options.runs);
    std::printf("%-34s %10s %10s\n", "reader", "time", "speed");

    using DiscFixture::ImageStyle;
    const std::vector<std::pair<ImageStyle, QString>> styles{
        {ImageStyle::BinCue, QStringLiteral("bin.cue")},
        {ImageStyle::WaveCue, QStringLiteral("wave.cue")},
        {ImageStyle::FlacPerTrackCue, QStringLiteral("flac.cue")},
        {ImageStyle::TocRaw, QStringLiteral("raw.toc")}};
    const char* modes[] = {"Burst", "Synch", "Secure", "Paranoid"};
    for (const auto& [style, name] : styles) {
        const QString sheet = out.filePath(name);
        DiscFixture::writeImage(sheet.toStdString(), disc, style);
        const auto grabber = grabberOf(sheet);
        grabber->ReadDisc();
        for (int mode = 0; mode < 4; ++mode) {
            grabber->GrabMode(mode);
            report(QStringLiteral("grabber %1 %2").arg(name, QLatin1String(modes[mode])),
                   bestOf(options.runs, [&] { return grabEveryTrack(*grabber, out); }),
                   audioSeconds);
        }
    }
    const QString cue = out.filePath(QStringLiteral("bin.cue"));
    const qint64 bytes = qint64(sectors) * DiscFixture::SectorBytes;
    report(QStringLiteral("cd-paranoia bin.cue (full)"),
           bestOf(options.runs, [&] { return ripWithCdParanoia(cue, out, false, bytes); }),
           audioSeconds);
    report(QStringLiteral("cd-paranoia bin.cue -Z (off)"),
           bestOf(options.runs, [&] { return ripWithCdParanoia(cue, out, true, bytes); }),
           audioSeconds);

    const QString large = largeSparseImage(out);
    const auto grabber = grabberOf(large);
    const double opening = bestOf(options.runs, [&] {
        grabber->ReadDisc();
        return grabber->TrackCount() == 99;
    });
    std::printf("\nReadDisc of 99 tracks over a sparse 700 MB WAVE file: %.1f ms\n",
                opening * 1000);
    return EXIT_SUCCESS;
}
