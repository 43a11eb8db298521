#include "base/ComponentError.h"
#include "components/audiofile/TAudioFile2.h"
#include "components/audiofile/TAudioFile2LameEnc.h"
#include "components/audiofile/WmaFormats.h"
#include "support/MediaProbe.h"
#include "support/TempDir.h"
#include "support/TestSignal.h"

#include <QDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>

#include <unistd.h>

namespace {

constexpr int CdRate = 44100;
constexpr int SectorFrames = 588; // what one CD sector holds

struct Expected
{
    const char* container;
    const char* codec;
    int sampleRate;
    int channels;
    double kbps;          // 0: not checked from the packets
    double frameSeconds;  // the codec's frame: how far the decoded length may differ
    double minSimilarity; // correlation with the source at the file's rate
};

class AudioFileEncodeTest : public TempDirTest
{
protected:
    /// Writes `frames` of the test signal in pieces of the given sizes, in turn (as a grab does,
    /// a sector at a time, unless told otherwise), and closes.
    QString encode(const QString& name, int frames, std::vector<int> pieces = {SectorFrames},
                   double scale = 1)
    {
        const QString file = path(name);
        m_source = cdTestSignal(frames);
        for (std::int16_t& sample : m_source)
            sample = static_cast<std::int16_t>(std::lround(sample * scale));
        m_audioFile.open(file);
        for (std::size_t done = 0, i = 0; done < m_source.size() / 2; ++i) {
            const std::size_t count =
                std::min<std::size_t>(pieces[i % pieces.size()], m_source.size() / 2 - done);
            m_audioFile.write(std::span(m_source).subspan(done * 2, count * 2));
            done += count;
        }
        m_audioFile.Close();
        EXPECT_FALSE(m_audioFile.IsOpen());
        return file;
    }

    /// The file as ffprobe and ffmpeg see it, against what the format promises.
    void expectFile(const QString& file, const Expected& e)
    {
        SCOPED_TRACE(file.toStdString());
        const auto info = MediaProbe::probe(file);
        ASSERT_TRUE(info.has_value());
        EXPECT_TRUE(info->formatName.contains(QLatin1String(e.container)))
            << info->formatName.toStdString();
        EXPECT_EQ(info->codecName, QLatin1String(e.codec));
        EXPECT_EQ(info->sampleRate, e.sampleRate);
        EXPECT_EQ(info->channels, e.channels);

        // The container counts the codec's delay and padding too, which decoders drop.
        const double seconds = static_cast<double>(m_source.size() / 2) / CdRate;
        EXPECT_NEAR(info->duration, seconds, 3 * e.frameSeconds);
        if (e.kbps > 0) {
            EXPECT_NEAR(info->measuredKbps(), e.kbps, e.kbps * 0.1);
        }

        const auto decoded = MediaProbe::decode(file);
        const double decodedSeconds =
            static_cast<double>(decoded.size() / static_cast<std::size_t>(e.channels)) /
            e.sampleRate;
        EXPECT_NEAR(decodedSeconds, seconds, e.frameSeconds);
        const double similarity = MediaProbe::similarity(reference(e.sampleRate, e.channels),
                                                         decoded, e.channels, e.sampleRate / 10);
        EXPECT_GE(similarity, e.minSimilarity);
    }

    // The source as ffmpeg itself converts it; the same signal length gives the same reference.
    const std::vector<std::int16_t>& reference(int rate, int channels)
    {
        auto& cached = m_references[{m_source.size(), rate * 10 + channels}];
        if (cached.empty())
            cached = MediaProbe::convertCdAudio(m_source, rate, channels);
        return cached;
    }

    TAudioFile2 m_audioFile;
    TAudioFile2LameEnc m_lame;
    std::vector<std::int16_t> m_source;
    std::map<std::pair<std::size_t, int>, std::vector<std::int16_t>> m_references;
};

TEST_F(AudioFileEncodeTest, WavAtCdQualityIsBitExact)
{
    m_audioFile.SetWaveFormat(44100, 2, 16);
    const QString file = encode(QStringLiteral("cd.wav"), 66150 + 7);
    expectFile(file, {"wav", "pcm_s16le", 44100, 2, 1411.2, 1.0 / 44100, 0.9999});
    EXPECT_EQ(MediaProbe::decode(file), m_source);
}

TEST_F(AudioFileEncodeTest, WavOfOtherRatesChannelsAndSampleSizes)
{
    m_audioFile.SetWaveFormat(48000, 2, 32);
    expectFile(encode(QStringLiteral("best.wav"), 50000),
               {"wav", "pcm_s32le", 48000, 2, 3072, 1.0 / 48000, 0.9999});
    m_audioFile.SetWaveFormat(22050, 1, 8);
    expectFile(encode(QStringLiteral("small.wav"), 50001), // odd data size: padded chunk
               {"wav", "pcm_u8", 22050, 1, 176.4, 1.0 / 22050, 0.999});
    m_audioFile.SetWaveFormat(8000, 2, 16);
    expectFile(encode(QStringLiteral("phone.wav"), 50000),
               {"wav", "pcm_s16le", 8000, 2, 256, 1.0 / 8000, 0.999});
}

TEST_F(AudioFileEncodeTest, Mp3WithIndividualSettings)
{
    // The defaults the settings give: 128 kbps CBR, joint... stereo mode 1, 44100 Hz.
    m_lame.ChannelMode(1);
    m_lame.Bitrate(128);
    m_lame.VbrMethod(-1);
    m_lame.Quality(5);
    m_lame.SampleRate(44100);
    m_audioFile.SetMp3Encoder(&m_lame);
    expectFile(encode(QStringLiteral("cbr.mp3"), 88200),
               {"mp3", "mp3", 44100, 2, 128, 1152.0 / 44100, 0.99});

    m_lame.ChannelCount(1);
    m_lame.SampleRate(22050);
    m_lame.Bitrate(64);
    m_lame.LowpassFrequency(7000);
    m_audioFile.SetMp3Encoder(&m_lame);
    expectFile(encode(QStringLiteral("mono.mp3"), 88200),
               {"mp3", "mp3", 22050, 1, 64, 576.0 / 22050, 0.99});
}

TEST_F(AudioFileEncodeTest, Mp3VbrPresetAndCommandLine)
{
    m_lame.VbrMethod(2);
    m_lame.VbrQuality(2);
    m_lame.Bitrate(32);
    m_lame.VbrBitrate(320);
    m_audioFile.SetMp3Encoder(&m_lame);
    expectFile(encode(QStringLiteral("vbr.mp3"), 88200),
               {"mp3", "mp3", 44100, 2, 0, 1152.0 / 44100, 0.99});

    m_lame.ApplyPreset(5); // Voice: ABR 56, mono, at the rate LAME picks for it
    m_audioFile.SetMp3Encoder(&m_lame);
    const QString voice = encode(QStringLiteral("voice.mp3"), 88200);
    const auto info = MediaProbe::probe(voice);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->channels, 1);
    expectFile(voice, {"mp3", "mp3", info->sampleRate, 1, 0, 1152.0 / info->sampleRate, 0.99});

    m_lame.Quality(5); // leaves preset mode
    m_lame.CommandLine(QStringLiteral("-b 192 -m m --resample 32"));
    m_audioFile.SetMp3Encoder(&m_lame);
    expectFile(encode(QStringLiteral("command.mp3"), 88200),
               {"mp3", "mp3", 32000, 1, 192, 1152.0 / 32000, 0.99});
}

// What the code under test writes to fd 2 (the terminal, for the program) while call runs.
std::string stderrDuring(const std::function<void()>& call)
{
    std::fflush(stderr);
    std::FILE* capture = std::tmpfile();
    const int saved = ::dup(2);
    ::dup2(::fileno(capture), 2);
    call();
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    std::string text(static_cast<std::size_t>(std::ftell(capture)), '\0');
    std::rewind(capture);
    text.resize(std::fread(text.data(), 1, text.size(), capture));
    std::fclose(capture);
    return text;
}

// LAME warns about settings it adjusts (a high-pass filter, a sample rate its bitrate cannot
// have); the program decides what reaches the terminal, so nothing may be printed.
TEST_F(AudioFileEncodeTest, Mp3EncoderPrintsNothingOfItsOwn)
{
    m_lame.HighpassFrequency(100);
    EXPECT_EQ(stderrDuring([this] {
                  m_audioFile.SetMp3Encoder(&m_lame);
                  encode(QStringLiteral("warned.mp3"), 44100);
              }),
              "");
    m_lame.CommandLine(QStringLiteral("--highpass 0.05 -b 320 --resample 8"));
    EXPECT_EQ(stderrDuring([this] {
                  m_audioFile.SetMp3Encoder(&m_lame);
                  encode(QStringLiteral("resampled.mp3"), 44100);
              }),
              "");
}

// The fields of the MPEG-1 Layer III frame headers of a file, read frame by frame.
struct Mp3Frames
{
    std::set<QString> modes;
    std::set<int> bitrates;
    bool crc = true;
    std::set<int> emphasis;
    bool lameTag = false; // the first frame is an "Info"/"Xing" frame
};

Mp3Frames readMp3Frames(const QByteArray& data)
{
    static constexpr int Kbps[] = {0,   32,  40,  48,  56,  64,  80, 96,
                                   112, 128, 160, 192, 224, 256, 320};
    static const QString Modes[] = {QStringLiteral("stereo"), QStringLiteral("joint"),
                                    QStringLiteral("dual"), QStringLiteral("mono")};
    Mp3Frames frames;
    const auto* d = reinterpret_cast<const unsigned char*>(data.constData());
    qsizetype at = 0;
    for (bool first = true; at + 4 <= data.size() && d[at] == 0xFF; first = false) {
        const int kbps = Kbps[d[at + 2] >> 4];
        if (first && (data.mid(at, 200).contains("Info") || data.mid(at, 200).contains("Xing"))) {
            frames.lameTag = true;
        } else {
            frames.modes.insert(Modes[d[at + 3] >> 6]);
            frames.bitrates.insert(kbps);
            frames.crc = frames.crc && (d[at + 1] & 1) == 0;
            frames.emphasis.insert(d[at + 3] & 3);
        }
        at += 144 * kbps * 1000 / 44100 + ((d[at + 2] >> 1) & 1);
    }
    EXPECT_EQ(at, data.size()) << "the file is one run of whole frames";
    return frames;
}

TEST_F(AudioFileEncodeTest, Mp3HeadersShowTheChosenSettings)
{
    auto framesOf = [this](const char* name) {
        m_audioFile.SetMp3Encoder(&m_lame);
        return readMp3Frames(readAll(encode(QLatin1String(name), CdRate)));
    };
    Mp3Frames frames = framesOf("plain.mp3");
    EXPECT_TRUE(frames.lameTag);
    EXPECT_FALSE(frames.crc);
    EXPECT_EQ(frames.emphasis, std::set<int>{0});
    EXPECT_EQ(frames.bitrates, std::set<int>{128});

    m_lame.ChannelMode(1);
    m_lame.CrcProtection(-1);
    m_lame.DeEmphasis(2);
    m_lame.WriteVbrHeader(0);
    m_lame.Bitrate(192);
    frames = framesOf("expert.mp3");
    EXPECT_FALSE(frames.lameTag);
    EXPECT_EQ(frames.modes, std::set<QString>{QStringLiteral("stereo")});
    EXPECT_TRUE(frames.crc);
    EXPECT_EQ(frames.emphasis, std::set<int>{3}); // CCITT J.17
    EXPECT_EQ(frames.bitrates, std::set<int>{192});

    m_lame.ChannelMode(4);
    m_lame.VbrMethod(3);
    m_lame.VbrBitrate(320);
    m_lame.Bitrate(32);
    frames = framesOf("dual.mp3");
    EXPECT_EQ(frames.modes, std::set<QString>{QStringLiteral("dual")});
    EXPECT_GT(frames.bitrates.size(), 2u); // VBR

    m_lame.ChannelMode(2);
    frames = framesOf("joint.mp3");
    EXPECT_EQ(frames.modes, std::set<QString>{QStringLiteral("joint")});
}

TEST_F(AudioFileEncodeTest, OggVorbisModes)
{
    m_audioFile.SetOggVorbisFormat(44100, 2, 128, 0, 0, -1);
    const QString average = encode(QStringLiteral("average.ogg"), 88200);
    expectFile(average, {"ogg", "vorbis", 44100, 2, 0, 2048.0 / 44100, 0.99});
    EXPECT_EQ(MediaProbe::probe(average)->streamBitRate, 128000); // the nominal bitrate

    m_audioFile.SetOggVorbisFormat(44100, 2, 96, 96, 96, -1);
    expectFile(encode(QStringLiteral("managed.ogg"), 88200),
               {"ogg", "vorbis", 44100, 2, 96, 2048.0 / 44100, 0.99});

    m_audioFile.SetOggVorbisFormat(22050, 1, 0, 0, 0, 500);
    expectFile(encode(QStringLiteral("quality.ogg"), 88200),
               {"ogg", "vorbis", 22050, 1, 0, 2048.0 / 22050, 0.99});
}

TEST_F(AudioFileEncodeTest, EveryWmaFormat)
{
    for (const auto& format : WmaFormats::All) {
        if (format.kind == WmaFormats::Kind::Lossless)
            continue;
        SCOPED_TRACE(format.text);
        m_audioFile.SetWmaFormat(format.number);
        const QString file = encode(QStringLiteral("%1.wma").arg(format.number), CdRate);
        expectFile(file,
                   {"asf", "wmav2", format.sampleRate, format.channels,
                    static_cast<double>(format.encodedKbps), 2048.0 / format.sampleRate, 0.99});
    }
}

// The gapless information of an .m4a: the encoder's delay and the audio's length in samples.
std::pair<qint64, qint64> itunesDelayAndLength(const QString& file)
{
    const QStringList fields = MediaProbe::tag(MediaProbe::tags(file), QStringLiteral("iTunSMPB"))
                                   .split(u' ', Qt::SkipEmptyParts);
    if (fields.size() < 4)
        return {-1, -1};
    return {fields[1].toLongLong(nullptr, 16), fields[3].toLongLong(nullptr, 16)};
}

TEST_F(AudioFileEncodeTest, OpusAndAacFiles)
{
    struct Case
    {
        const char* name;
        bool opus;
        int kbps;
        Expected expected;
    };
    const Case cases[] = {
        {"music.opus", true, 160, {"ogg", "opus", 48000, 2, 0, 960.0 / 48000, 0.99}},
        {"low.opus", true, 32, {"ogg", "opus", 48000, 2, 0, 960.0 / 48000, 0.97}},
        {"music.m4a", false, 192, {"mp4", "aac", 44100, 2, 192, 1024.0 / 44100, 0.99}},
        {"low.m4a", false, 64, {"mp4", "aac", 44100, 2, 64, 1024.0 / 44100, 0.98}},
    };
    const int frames = 3 * CdRate + 123; // ends inside a codec frame
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.opus)
            m_audioFile.SetOpusFormat(c.kbps);
        else
            m_audioFile.SetAacFormat(c.kbps);
        QString file;
        EXPECT_EQ(stderrDuring([&] {
                      file = encode(QLatin1String(c.name), frames, {SectorFrames, 1, 4095});
                  }),
                  "");
        expectFile(file, c.expected);
        if (c.opus) {
            // The header's output gain stays 0: loudness belongs to the R128 tags.
            const QByteArray bytes = readAll(file);
            const qsizetype head = bytes.indexOf("OpusHead");
            ASSERT_GE(head, 0);
            EXPECT_EQ(bytes.mid(head + 16, 2), QByteArray(2, '\0'));
        } else {
            EXPECT_EQ(itunesDelayAndLength(file), std::make_pair(qint64{1024}, qint64{frames}));
        }
        // The same track in other pieces (from a spool rather than the disc) gives the same
        // bytes.
        QDir(root()).mkpath(QStringLiteral("again"));
        const QString again =
            encode(QStringLiteral("again/") + QLatin1String(c.name), frames, {4096 * 3, 7});
        EXPECT_EQ(readAll(again), readAll(file));
    }
    EXPECT_THROW(m_audioFile.SetOpusFormat(5), ComponentError);
    EXPECT_THROW(m_audioFile.SetAacFormat(1000), ComponentError);
}

// The meter measures what goes into each file, after its conversion: ffmpeg's own meter, run on
// the decoded file, must find the same loudness (ReplayGain 2.0: -18 LUFS) and, for the
// lossless files, the same peak. The lossy files are encoded well enough that the codec itself
// moves the loudness by far less than the tolerance.
TEST_F(AudioFileEncodeTest, ReplayGainAgreesWithFfmpegsR128Meter)
{
    struct Case
    {
        const char* name;
        std::function<void()> choose;
        double scale;
        int seconds;
        bool lossless;
    };
    // Album tracks long enough that the blocks spanning their junction, which ffmpeg measures
    // in the joined audio, hardly count.
    const Case cases[] = {
        {"loud.flac", [this] { m_audioFile.SetFlacFormat(5, false); }, 1.5, 20, true},
        {"quiet.flac", [this] { m_audioFile.SetFlacFormat(5, false); }, 0.5, 20, true},
        {"small.wav", [this] { m_audioFile.SetWaveFormat(22050, 1, 8); }, 1, 4, true},
        {"t.opus", [this] { m_audioFile.SetOpusFormat(160); }, 1, 4, false},
        {"t.m4a", [this] { m_audioFile.SetAacFormat(192); }, 1, 4, false},
        {"t.ogg", [this] { m_audioFile.SetOggVorbisFormat(32000, 2, 96, 0, 0, -1); }, 1, 4, false},
        {"t.wma", [this] { m_audioFile.SetWmaFormat(10); }, 1, 4, false},
        {"mono.mp3", // mixed down by LAME itself
         [this] {
             m_lame.ChannelCount(1);
             m_lame.Bitrate(320);
             m_audioFile.SetMp3Encoder(&m_lame);
         },
         1, 4, false},
    };
    m_audioFile.measureReplayGain(true);
    std::vector<std::unique_ptr<ReplayGainMeter>> flacMeters;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.choose();
        const QString file =
            encode(QLatin1String(c.name), c.seconds * CdRate, {SectorFrames}, c.scale);
        std::unique_ptr<ReplayGainMeter> meter = m_audioFile.takeReplayGainMeter();
        ASSERT_TRUE(meter);
        const auto track = meter->trackValues();
        const auto reference = MediaProbe::loudness({file});
        ASSERT_TRUE(track && reference);
        EXPECT_NEAR(track->gain, -18 - reference->integrated, 0.1);
        if (c.lossless) {
            EXPECT_NEAR(track->peak, reference->samplePeak, 0.001);
        }
        if (QByteArray(c.name).endsWith(".flac"))
            flacMeters.push_back(std::move(meter));
    }
    // The album: the two FLAC tracks measured as one.
    const std::vector<const ReplayGainMeter*> album{flacMeters[0].get(), flacMeters[1].get()};
    const auto values = albumValues(album);
    const auto reference = MediaProbe::loudness(
        {path(QStringLiteral("loud.flac")), path(QStringLiteral("quiet.flac"))});
    ASSERT_TRUE(values && reference);
    EXPECT_NEAR(values->gain, -18 - reference->integrated, 0.1);
    EXPECT_NEAR(values->peak, reference->samplePeak, 0.001);

    m_audioFile.measureReplayGain(false);
    encode(QStringLiteral("unmeasured.flac"), CdRate);
    EXPECT_FALSE(m_audioFile.takeReplayGainMeter());
}

TEST_F(AudioFileEncodeTest, ClosingAfterAnAbortedGrabLeavesThePartWritten)
{
    // A grab stopped after an uneven stretch, fed in uneven pieces: whatever the resampler and
    // the codecs still hold when Close comes is completed.
    const int written = 77777;
    const std::vector<int> pieces{1, 4095, 17, 3 * SectorFrames};
    m_audioFile.SetWaveFormat(32000, 2, 16);
    expectFile(encode(QStringLiteral("part.wav"), written, pieces),
               {"wav", "pcm_s16le", 32000, 2, 0, 1.0 / 32000, 0.999});
    m_audioFile.SetMp3Encoder(&m_lame);
    expectFile(encode(QStringLiteral("part.mp3"), written, pieces),
               {"mp3", "mp3", 44100, 2, 0, 1152.0 / 44100, 0.99});
    m_audioFile.SetOggVorbisFormat(48000, 2, 128, 0, 0, -1);
    expectFile(encode(QStringLiteral("part.ogg"), written, pieces),
               {"ogg", "vorbis", 48000, 2, 0, 2048.0 / 48000, 0.99});
    m_audioFile.SetWmaFormat(3);
    expectFile(encode(QStringLiteral("part.wma"), written, pieces),
               {"asf", "wmav2", 48000, 2, 0, 2048.0 / 48000, 0.99});
}

TEST_F(AudioFileEncodeTest, ClosingBeforeAnyAudioLeavesAReadableFile)
{
    auto expectReadable = [this](const QString& name) {
        m_audioFile.open(path(name));
        m_audioFile.Close();
        const auto info = MediaProbe::probe(path(name));
        ASSERT_TRUE(info.has_value()) << name.toStdString();
        EXPECT_LT(info->duration, 0.1);
    };
    m_audioFile.SetWaveFormat(44100, 2, 16);
    expectReadable(QStringLiteral("empty.wav"));
    m_audioFile.SetMp3Encoder(&m_lame);
    expectReadable(QStringLiteral("empty.mp3"));
    m_audioFile.SetOggVorbisFormat(44100, 2, 128, 0, 0, -1);
    expectReadable(QStringLiteral("empty.ogg"));
    m_audioFile.SetWmaFormat(10);
    expectReadable(QStringLiteral("empty.wma"));
}

} // namespace
