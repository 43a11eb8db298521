#include "components/audiofile/TAudioFile2.h"

#include "base/ComponentError.h"
#include "components/audiofile/TAudioFile2LameEnc.h"

TAudioFile2::~TAudioFile2()
{
    try {
        Close();
    } catch (const std::exception&) {
        // Nobody is left to tell; the failed file has been removed.
    }
}

void TAudioFile2::Close()
{
    if (!m_writer)
        return;
    const auto writer = std::move(m_writer);
    m_open = false;
    writer->finish();
    m_meter = writer->takeReplayGainMeter();
}

void TAudioFile2::SetWaveFormat(int sampleRate, int channels, int bitsPerSample)
{
    choose(WaveFormat{sampleRate, channels, bitsPerSample});
}

void TAudioFile2::SetMp3Encoder(IAudioFile2LameEnc* encoder)
{
    const auto* lame = dynamic_cast<const TAudioFile2LameEnc*>(encoder);
    if (!lame)
        refuse(QStringLiteral("SetMp3Encoder needs the LAME encoder component"));
    choose(lame->settings());
}

void TAudioFile2::SetOggVorbisFormat(int sampleRate, int channels, int bitrate, int minBitrate,
                                     int maxBitrate, int quality)
{
    choose(VorbisFormat{sampleRate, channels, bitrate, minBitrate, maxBitrate, quality});
}

void TAudioFile2::SetWmaFormat(int format)
{
    const auto wma = WmaFormats::byNumber(format);
    if (!wma)
        refuse(QStringLiteral("There is no WMA format %1 (the formats are 1 to %2)")
                   .arg(format)
                   .arg(WmaFormats::All.size()));
    choose(*wma);
}

void TAudioFile2::SetFlacFormat(int compression, bool verify)
{
    choose(FlacFormat{compression, verify});
}

void TAudioFile2::SetOpusFormat(int bitrate)
{
    choose(OpusFormat{bitrate});
}

void TAudioFile2::SetAacFormat(int bitrate)
{
    choose(AacFormat{bitrate});
}

bool TAudioFile2::IsOpen() const
{
    return m_open;
}

void TAudioFile2::OptionFlag(int) {}

void TAudioFile2::open(const QString& path)
{
    Close();
    m_meter.reset();
    auto writer = openWriter(m_format, path);
    if (m_measure)
        writer->measureReplayGain();
    m_writer = std::move(writer);
    m_open = true;
}

void TAudioFile2::write(std::span<const std::int16_t> samples)
{
    if (!m_writer)
        throw ComponentError(QStringLiteral("No output file is open"));
    if (samples.size() % 2 != 0)
        throw ComponentError(QStringLiteral("CD audio must come in stereo sample pairs"));
    try {
        m_writer->write(samples);
    } catch (...) {
        // The writer's file is incomplete: dropping the writer removes it.
        m_writer.reset();
        m_open = false;
        throw;
    }
}

std::unique_ptr<ReplayGainMeter> TAudioFile2::takeReplayGainMeter()
{
    return std::move(m_meter);
}

void TAudioFile2::choose(OutputFormat format)
{
    try {
        checkFormat(format);
    } catch (...) {
        m_format = std::monostate();
        throw;
    }
    m_format = std::move(format);
}

void TAudioFile2::refuse(const QString& message)
{
    m_format = std::monostate();
    throw ComponentError(message);
}
