#include "components/audiofile/WavWriter.h"

#include "base/ComponentError.h"
#include "components/audiofile/OutputFile.h"
#include "components/audiofile/PcmConverter.h"

#include <QByteArray>
#include <QtEndian>

#include <bit>
#include <cstdint>
#include <limits>
#include <optional>

namespace {

// Samples are written as they lie in memory, and WAV wants little-endian.
static_assert(std::endian::native == std::endian::little);

constexpr int MinSampleRate = 8000;
constexpr int MaxSampleRate = 192000;

// RIFF sizes are 32-bit.
constexpr std::int64_t MaxRiffSize = std::numeric_limits<std::uint32_t>::max();

void append16(QByteArray& bytes, std::uint16_t value)
{
    const auto le = qToLittleEndian(value);
    bytes.append(reinterpret_cast<const char*>(&le), sizeof le);
}

void append32(QByteArray& bytes, std::uint32_t value)
{
    const auto le = qToLittleEndian(value);
    bytes.append(reinterpret_cast<const char*>(&le), sizeof le);
}

AVSampleFormat sampleFormatFor(int bits)
{
    switch (bits) {
    case 8:
        return AV_SAMPLE_FMT_U8;
    case 16:
        return AV_SAMPLE_FMT_S16;
    default:
        return AV_SAMPLE_FMT_S32;
    }
}

/// The RIFF header up to and including the data chunk's size. Above 16 bits the format is
/// WAVE_FORMAT_EXTENSIBLE, as readers expect for such samples.
QByteArray waveHeader(const WaveFormat& format, std::uint32_t dataSize)
{
    const bool extensible = format.bitsPerSample > 16;
    const std::uint16_t blockAlign =
        static_cast<std::uint16_t>(format.channels * format.bitsPerSample / 8);
    const std::uint32_t fmtSize = extensible ? 40 : 16;
    const std::uint32_t paddedData = dataSize + (dataSize & 1);

    QByteArray h;
    h.append("RIFF");
    append32(h, 4 + (8 + fmtSize) + (8 + paddedData));
    h.append("WAVE");
    h.append("fmt ");
    append32(h, fmtSize);
    append16(h, extensible ? 0xFFFE : 1);
    append16(h, static_cast<std::uint16_t>(format.channels));
    append32(h, static_cast<std::uint32_t>(format.sampleRate));
    append32(h, static_cast<std::uint32_t>(format.sampleRate) * blockAlign);
    append16(h, blockAlign);
    append16(h, static_cast<std::uint16_t>(format.bitsPerSample));
    if (extensible) {
        append16(h, 22);
        append16(h, static_cast<std::uint16_t>(format.bitsPerSample)); // valid bits
        append32(h, format.channels == 1 ? 0x4 : 0x3);                 // centre / left+right
        // KSDATAFORMAT_SUBTYPE_PCM
        static constexpr unsigned char PcmGuid[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                      0x10, 0x00, 0x80, 0x00, 0x00, 0xAA,
                                                      0x00, 0x38, 0x9B, 0x71};
        h.append(reinterpret_cast<const char*>(PcmGuid), sizeof PcmGuid);
    }
    h.append("data");
    append32(h, dataSize);
    return h;
}

class WavWriter final : public AudioWriter
{
public:
    WavWriter(const WaveFormat& format, const QString& path)
        : m_format(format), m_file(path), m_blockAlign(format.channels * format.bitsPerSample / 8)
    {
        const bool cdFormat = format.sampleRate == CdAudio::Rate &&
                              format.channels == CdAudio::Channels && format.bitsPerSample == 16;
        if (!cdFormat)
            m_converter.emplace(format.sampleRate, format.channels,
                                sampleFormatFor(format.bitsPerSample));
        m_headerSize = writeHeader();
    }

    void write(std::span<const std::int16_t> samples) override
    {
        if (!m_converter) {
            // CD audio is already in the file's format.
            if (meter())
                meter()->add(samples);
            append(samples.data(), samples.size_bytes());
            return;
        }
        const auto converted = m_converter->convert(samples);
        append(converted.planes[0], static_cast<std::size_t>(converted.frames) * m_blockAlign);
    }

    void finish() override
    {
        if (m_converter)
            for (auto rest = m_converter->drain(); rest.frames > 0; rest = m_converter->drain())
                append(rest.planes[0], static_cast<std::size_t>(rest.frames) * m_blockAlign);
        if (m_dataSize & 1)
            m_file.write("", 1); // chunks are padded to an even size
        const QByteArray header = waveHeader(m_format, static_cast<std::uint32_t>(m_dataSize));
        m_file.writeAt(0, header.constData(), static_cast<std::size_t>(header.size()));
        m_file.commit();
    }

    void measureReplayGain() override
    {
        ReplayGainMeter& meter = startMeter(m_format.sampleRate, m_format.channels);
        if (m_converter)
            m_converter->setMeter(&meter);
    }

private:
    std::int64_t writeHeader()
    {
        const QByteArray header = waveHeader(m_format, 0);
        m_file.write(header.constData(), static_cast<std::size_t>(header.size()));
        return header.size();
    }

    void append(const void* data, std::size_t size)
    {
        // Keep room for the pad byte and the chunk headers that the RIFF size counts.
        if (m_headerSize + m_dataSize + static_cast<std::int64_t>(size) + 1 > MaxRiffSize)
            throw ComponentError(
                QStringLiteral("The file %1 would exceed the 4 GiB a WAV file can hold")
                    .arg(m_file.path()));
        m_file.write(data, size);
        m_dataSize += static_cast<std::int64_t>(size);
    }

    WaveFormat m_format;
    OutputFile m_file;
    int m_blockAlign;
    std::optional<PcmConverter> m_converter;
    std::int64_t m_headerSize = 0;
    std::int64_t m_dataSize = 0;
};

} // namespace

void checkWaveFormat(const WaveFormat& format)
{
    const bool rateOk = format.sampleRate >= MinSampleRate && format.sampleRate <= MaxSampleRate;
    const bool channelsOk = format.channels == 1 || format.channels == 2;
    const bool bitsOk =
        format.bitsPerSample == 8 || format.bitsPerSample == 16 || format.bitsPerSample == 32;
    if (!rateOk || !channelsOk || !bitsOk)
        throw ComponentError(
            QStringLiteral("Cannot write WAV files with %1 Hz, %2 channels, %3 bits per sample")
                .arg(format.sampleRate)
                .arg(format.channels)
                .arg(format.bitsPerSample));
}

std::unique_ptr<AudioWriter> openWavWriter(const WaveFormat& format, const QString& path)
{
    checkWaveFormat(format);
    return std::make_unique<WavWriter>(format, path);
}
