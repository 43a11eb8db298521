#include "components/audiofile/AacWriter.h"

#include "base/ComponentError.h"
#include "components/audiofile/FfmpegEncoder.h"
#include "components/audiofile/OutputFile.h"

#include <taglib/mp4file.h>
#include <taglib/tbytevectorstream.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int MinKbps = 8;
constexpr int MaxKbps = 512;

/// The container in memory: the muxer writes its index after the audio, and the gapless
/// information goes into that index before anything reaches the file.
class MemoryOutput final : public SeekableOutput
{
public:
    bool tryWrite(const void* data, std::size_t size) noexcept override
    {
        const auto end = static_cast<std::size_t>(m_position) + size;
        try {
            if (end > m_bytes.size())
                m_bytes.resize(end);
        } catch (const std::bad_alloc&) {
            m_failed = true;
            return false;
        }
        std::copy_n(static_cast<const char*>(data), size, m_bytes.begin() + m_position);
        m_position = static_cast<std::int64_t>(end);
        return true;
    }

    bool trySeek(std::int64_t offset) noexcept override
    {
        if (offset < 0)
            return false;
        m_position = offset;
        return true;
    }

    std::int64_t position() const override { return m_position; }
    std::int64_t size() const override { return static_cast<std::int64_t>(m_bytes.size()); }

    void throwIfFailed() const override
    {
        if (m_failed)
            throw std::bad_alloc();
    }

    /// Hands the bytes over, leaving this empty.
    TagLib::ByteVector take()
    {
        TagLib::ByteVector bytes(m_bytes.data(), static_cast<unsigned>(m_bytes.size()));
        std::vector<char>().swap(m_bytes);
        return bytes;
    }

private:
    std::vector<char> m_bytes;
    std::int64_t m_position = 0;
    bool m_failed = false;
};

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
                    m_memory, path)
    {
    }

    void write(std::span<const std::int16_t> samples) override
    {
        m_encoder.append(m_converter.convert(samples));
    }

    void finish() override
    {
        m_encoder.finishFrom(m_converter);
        const TagLib::ByteVector bytes = withGaplessInfo(m_memory.take());
        m_file.write(bytes.data(), bytes.size());
        m_file.commit();
    }

    void measureReplayGain() override
    {
        m_converter.setMeter(&startMeter(CdAudio::Rate, CdAudio::Channels));
    }

private:
    TagLib::ByteVector withGaplessInfo(const TagLib::ByteVector& container)
    {
        TagLib::ByteVectorStream stream(container);
        TagLib::MP4::File mp4(&stream, false);
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
        return *stream.data();
    }

    PcmConverter m_converter;
    OutputFile m_file;
    MemoryOutput m_memory;
    FfmpegEncoder m_encoder; // torn down before the output it writes
};

} // namespace

void checkAacFormat(const AacFormat& format)
{
    if (format.bitrate < MinKbps || format.bitrate > MaxKbps)
        throw ComponentError(QStringLiteral("AAC cannot encode at %1 kbps (%2 to %3)")
                                 .arg(format.bitrate)
                                 .arg(MinKbps)
                                 .arg(MaxKbps));
}

std::unique_ptr<AudioWriter> openAacWriter(const AacFormat& format, const QString& path)
{
    checkAacFormat(format);
    return std::make_unique<AacWriter>(format, path);
}
