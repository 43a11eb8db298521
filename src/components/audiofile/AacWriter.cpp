#include "components/audiofile/AacWriter.h"

#include "base/ComponentError.h"
#include "components/audiofile/FfmpegEncoder.h"
#include "components/audiofile/OutputFile.h"

#include <taglib/mp4file.h>

#include <QFile>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int MinKbps = 8;
constexpr int MaxKbps = 512;

/// The iTunSMPB text: the encoder's delay, the padding after the audio and the audio's length
/// in samples, among fields that stay zero.
TagLib::String gaplessInfo(std::int64_t delay, std::int64_t padding, std::int64_t frames)
{
    char text[128];
    std::snprintf(text, sizeof text,
                  " 00000000 %08llX %08llX %016llX 00000000 00000000 00000000 00000000 00000000 "
                  "00000000 00000000 00000000",
                  static_cast<unsigned long long>(delay), static_cast<unsigned long long>(padding),
                  static_cast<unsigned long long>(frames));
    return TagLib::String(text);
}

class AacWriter final : public AudioWriter
{
public:
    AacWriter(const AacFormat& format, const QString& path)
        : m_converter(CdAudio::Rate, CdAudio::Channels, AV_SAMPLE_FMT_FLTP), m_file(path),
          m_encoder({"aac", "ipod", "AAC", CdAudio::Rate, CdAudio::Channels, AV_SAMPLE_FMT_FLTP,
                     format.bitrate, true},
                    m_file, path)
    {
    }

    void write(std::span<const std::int16_t> samples) override
    {
        m_encoder.append(m_converter.convert(samples));
    }

    void finish() override
    {
        // The muxer writes its index after the audio; the gapless information goes into that
        // index while the file is still incomplete, so a file without it never stays.
        m_encoder.finishFrom(m_converter);
        m_file.flush();
        addGaplessInfo();
        m_file.commit();
    }

    void measureReplayGain() override
    {
        m_converter.setMeter(&startMeter(CdAudio::Rate, CdAudio::Channels));
    }

private:
    void addGaplessInfo()
    {
        TagLib::MP4::File mp4(QFile::encodeName(m_file.path()).constData(), false);
        if (!mp4.isValid() || !mp4.tag())
            throw ComponentError(
                QStringLiteral("Cannot complete the AAC file %1: the muxer wrote no MP4 index")
                    .arg(m_file.path()));
        const std::int64_t delay = m_encoder.delay();
        const std::int64_t frames = m_encoder.audioFrames();
        const std::int64_t padding =
            std::max<std::int64_t>(m_encoder.encodedFrames() - delay - frames, 0);
        mp4.tag()->setItem("----:com.apple.iTunes:iTunSMPB",
                           TagLib::StringList(gaplessInfo(delay, padding, frames)));
        if (!mp4.save())
            throw ComponentError(
                QStringLiteral("Cannot complete the AAC file %1: the gapless information cannot "
                               "be added")
                    .arg(m_file.path()));
    }

    PcmConverter m_converter;
    OutputFile m_file;
    FfmpegEncoder m_encoder; // torn down before the output it writes
};

} // namespace

void checkAacFormat(const AacFormat& format)
{
    checkBitrate("AAC", format.bitrate, MinKbps, MaxKbps);
}

std::unique_ptr<AudioWriter> openAacWriter(const AacFormat& format, const QString& path)
{
    checkAacFormat(format);
    return std::make_unique<AacWriter>(format, path);
}
