// Encodes the same synthesised CD audio through our audio file and with the command-line tools a
// user would take instead, and prints the speed of each (x real time) and our/their ratios.
//
//   encode_bench [minutes [format ...]]   (default 40 minutes; formats wma mp3 ogg wav flac
//                                          flac-rg opus aac, all)
//
// flac-rg is FLAC with the ReplayGain meter on, beside flac --replay-gain, which measures in the
// same pass; against the plain FLAC row it shows what ReplayGain costs.
//
// Needs ffmpeg, lame, oggenc, flac, opusenc and /usr/bin/time on PATH. Speeds are given for wall
// time and for CPU time (user + system), each the better of two rounds.

#include "components/audiofile/TAudioFile2.h"
#include "components/audiofile/TAudioFile2LameEnc.h"
#include "rip/EncoderConfiguration.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>
#include <vector>

namespace {

constexpr int CdRate = 44100;
constexpr int SectorFrames = 588; // the grabber hands the audio file one sector at a time
constexpr int WavHeaderSize = 44;

struct Timing
{
    double wall = 0;
    double cpu = 0;
};

Timing best(Timing a, Timing b)
{
    return {std::min(a.wall, b.wall), std::min(a.cpu, b.cpu)};
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

/// 30 seconds of something like music: chords of drifting tones with overtones, a beat of noise
/// bursts, different in each channel. Repeated to any length.
std::vector<std::int16_t> musicBlock()
{
    const int frames = 30 * CdRate;
    std::vector<std::int16_t> samples(static_cast<std::size_t>(frames) * 2);
    std::uint32_t noise = 1;
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / CdRate;
        const double beat = std::exp(-8 * std::fmod(t, 0.5));
        for (int ch = 0; ch < 2; ++ch) {
            double v = 0;
            for (int k = 0; k < 4; ++k) {
                const double f = (110 + 55 * k + 30 * ch) * (1 + 0.01 * std::sin(0.3 * t + k));
                v += std::sin(2 * std::numbers::pi * f * t) / (k + 1) +
                     0.2 * std::sin(2 * std::numbers::pi * 3 * f * t) / (k + 1);
            }
            noise = noise * 1664525u + 1013904223u;
            v += beat * (static_cast<double>(noise >> 8) / (1 << 24) - 0.5);
            samples[static_cast<std::size_t>(i) * 2 + ch] =
                static_cast<std::int16_t>(std::lround(v * 7000));
        }
    }
    return samples;
}

/// The source WAV the tools read, written through our own CD-quality path.
void writeSource(const QString& path, int minutes)
{
    const auto block = musicBlock();
    TAudioFile2 file;
    file.SetWaveFormat(CdRate, 2, 16);
    file.open(path);
    for (int i = 0; i < minutes * 2; ++i)
        file.write(block);
    file.Close();
}

/// Feeds the source WAV, read from disk like the tools read it, a sector at a time into the
/// audio file configured by configure(), and closes the file.
Timing encodeOurs(const QString& source, const QString& target,
                  const std::function<void(TAudioFile2&)>& configure)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly) || !in.seek(WavHeaderSize))
        qFatal("cannot read the source");
    std::vector<std::int16_t> sector(SectorFrames * 2);
    const qint64 sectorBytes = static_cast<qint64>(sector.size() * 2);

    QElapsedTimer wall;
    wall.start();
    const double cpuStart = cpuSeconds();
    TAudioFile2 file;
    configure(file);
    file.open(target);
    for (;;) {
        const qint64 got = in.read(reinterpret_cast<char*>(sector.data()), sectorBytes);
        if (got <= 0)
            break;
        file.write(std::span(sector).first(static_cast<std::size_t>(got / 2)));
    }
    file.Close();
    return {wall.nsecsElapsed() / 1e9, cpuSeconds() - cpuStart};
}

/// Runs a tool in folder under /usr/bin/time, which reports its wall and CPU time.
Timing runTool(const QString& folder, const QString& timesFile, const QStringList& command)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("/usr/bin/time"),
                  QStringList{QStringLiteral("-f"), QStringLiteral("%e %U %S"),
                              QStringLiteral("-o"), timesFile} +
                      command);
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        qFatal("%s failed", qPrintable(command.join(u' ')));
    QFile times(timesFile);
    if (!times.open(QIODevice::ReadOnly))
        qFatal("no times from /usr/bin/time");
    const QList<QByteArray> parts = times.readAll().simplified().split(' ');
    if (parts.size() != 3)
        qFatal("unexpected times");
    return {parts[0].toDouble(), parts[1].toDouble() + parts[2].toDouble()};
}

void report(const char* name, const char* tool, double seconds, Timing ours, Timing theirs)
{
    const double oursWall = seconds / ours.wall, theirsWall = seconds / theirs.wall;
    const double oursCpu = seconds / ours.cpu, theirsCpu = seconds / theirs.cpu;
    std::printf("%-26s %8.1f %8.1f %6.2f   %8.1f %8.1f %6.2f   %s\n", name, oursWall, theirsWall,
                oursWall / theirsWall, oursCpu, theirsCpu, oursCpu / theirsCpu, tool);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int minutes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 40;
    const double seconds = minutes * 60.0;
    const QStringList only = app.arguments().mid(2);

    QTemporaryDir dir;
    const auto at = [&](const char* name) { return dir.filePath(QLatin1String(name)); };
    const QString source = at("source.wav");
    const QString times = at("times.txt");
    std::printf("Synthesising %d minutes of CD audio...\n", minutes);
    writeSource(source, minutes);

    SettingsFile settings(at("settings.ini"));
    TAudioFile2LameEnc lame;
    // A tool's command; nullptr stands for the source file.
    const auto tool = [&](std::initializer_list<const char*> words) {
        QStringList command;
        for (const char* word : words)
            command << (word == nullptr ? source : QString::fromLatin1(word));
        return command;
    };
    struct Job
    {
        const char* format;
        const char* name;
        OutputFormatNumber outputFormat;
        std::function<void()> setUp; // stores the settings of our encode
        QStringList command;
        const char* toolName;
        bool replayGain = false;
    };
    auto store = [&](const char* section, const char* key, int value) {
        return [&settings, section, key, value] {
            settings.writeInteger(QLatin1String(section), QLatin1String(key), value);
        };
    };
    const QStringList lameCommand = tool({"lame", "--quiet", "-b", "128", nullptr, "theirs.mp3"});
    const std::vector<Job> jobs{
        {"wma", "WMA 128 kbps", OutputFormatNumber::Wma, store("wma", "format", 9),
         tool({"ffmpeg", "-nostdin", "-y", "-v", "error", "-i", nullptr, "-c:a", "wmav2", "-b:a",
               "128k", "theirs.wma"}),
         "ffmpeg -c:a wmav2 -b:a 128k"},
        // The settings' own quality (5) is less work than the tool's default (3): show both.
        {"mp3", "MP3 128 kbps, quality 5", OutputFormatNumber::Mp3, [] {}, lameCommand,
         "lame -b 128 (quality 3)"},
        {"mp3", "MP3 128 kbps, quality 3", OutputFormatNumber::Mp3, store("mp3", "quality", 3),
         lameCommand, "lame -b 128"},
        {"ogg", "Ogg Vorbis 128 kbps", OutputFormatNumber::OggVorbis, [] {},
         tool({"oggenc", "-Q", "-b", "128", "-o", "theirs.ogg", nullptr}), "oggenc -b 128"},
        {"wav", "WAV 48 kHz 32 bit", OutputFormatNumber::Wav, store("wav", "mode", 1),
         tool({"ffmpeg", "-nostdin", "-y", "-v", "error", "-i", nullptr, "-ar", "48000", "-c:a",
               "pcm_s32le", "theirs.wav"}),
         "ffmpeg -ar 48000 -c:a pcm_s32le"},
        {"flac", "FLAC level 5", OutputFormatNumber::Flac, [] {},
         tool({"flac", "-s", "-f", "-5", "-o", "theirs.flac", nullptr}), "flac -5"},
        {"flac-rg", "FLAC level 5, ReplayGain", OutputFormatNumber::Flac, [] {},
         tool({"flac", "-s", "-f", "-5", "--replay-gain", "-o", "theirs.flac", nullptr}),
         "flac -5 --replay-gain", true},
        {"opus", "Opus 160 kbps", OutputFormatNumber::Opus, [] {},
         tool({"opusenc", "--quiet", "--bitrate", "160", nullptr, "theirs.opus"}),
         "opusenc --bitrate 160"},
        {"aac", "AAC 192 kbps", OutputFormatNumber::Aac, [] {},
         tool({"ffmpeg", "-nostdin", "-y", "-v", "error", "-i", nullptr, "-c:a", "aac", "-b:a",
               "192k", "theirs.m4a"}),
         "ffmpeg -c:a aac -b:a 192k"},
    };

    std::printf("\n%-26s %8s %8s %6s   %8s %8s %6s\n", "x real time", "ours", "theirs", "ratio",
                "ours", "theirs", "ratio");
    std::printf("%-26s %24s   %24s\n", "", "(wall)", "(CPU)");
    for (const Job& job : jobs) {
        if (!only.isEmpty() && !only.contains(QLatin1String(job.format)))
            continue;
        job.setUp();
        const auto runOurs = [&] {
            QFile::remove(at("ours")); // the audio file never writes over a file
            return encodeOurs(source, at("ours"), [&](TAudioFile2& file) {
                configureEncoder(settings, job.outputFormat, file, lame, QString());
                file.measureReplayGain(job.replayGain);
            });
        };
        const auto runTheirs = [&] { return runTool(dir.path(), times, job.command); };
        // Two rounds in turned order, keeping the best of each side: the machine is shared, and
        // whatever else runs on it should not decide the ratio.
        Timing ours = runOurs();
        Timing theirs = runTheirs();
        theirs = best(theirs, runTheirs());
        ours = best(ours, runOurs());
        report(job.name, job.toolName, seconds, ours, theirs);
        for (const QString& output :
             QDir(dir.path())
                 .entryList({QStringLiteral("ours"), QStringLiteral("theirs.*")}, QDir::Files))
            QFile::remove(dir.filePath(output));
    }
    return 0;
}
