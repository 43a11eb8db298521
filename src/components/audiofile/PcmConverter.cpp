#include "components/audiofile/PcmConverter.h"

#include "base/ComponentError.h"
#include "base/ReplayGain.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace {

AVChannelLayout layoutFor(int channels)
{
    AVChannelLayout layout{};
    av_channel_layout_default(&layout, channels);
    return layout;
}

} // namespace

PcmConverter::PcmConverter(int sampleRate, int channels, AVSampleFormat format)
    : m_channels(channels), m_format(format)
{
    AVChannelLayout in = layoutFor(CdAudio::Channels);
    AVChannelLayout out = layoutFor(channels);
    SwrContext* swr = nullptr;
    int result = swr_alloc_set_opts2(&swr, &out, format, sampleRate, &in, AV_SAMPLE_FMT_S16,
                                     CdAudio::Rate, 0, nullptr);
    m_swr.reset(swr);
    if (result >= 0)
        result = av_opt_set_double(m_swr.get(), "rematrix_maxval", 1.0, 0);
    if (result >= 0)
        result = swr_init(m_swr.get());
    if (result < 0)
        throw ComponentError(QStringLiteral("Cannot convert CD audio to %1 Hz, %2 channels: %3")
                                 .arg(sampleRate)
                                 .arg(channels)
                                 .arg(Ffmpeg::errorText(result)));
}

int PcmConverter::maxFramesFor(int frames) const
{
    return swr_get_out_samples(m_swr.get(), frames);
}

int PcmConverter::convertInto(std::span<const std::int16_t> samples, std::uint8_t* const* planes,
                              int capacity)
{
    const auto* input = reinterpret_cast<const std::uint8_t*>(samples.data());
    return run(&input, static_cast<int>(samples.size() / CdAudio::Channels), planes, capacity);
}

PcmConverter::Converted PcmConverter::convert(std::span<const std::int16_t> samples)
{
    const int frames = static_cast<int>(samples.size() / CdAudio::Channels);
    reserve(maxFramesFor(frames));
    return {m_planes.data(), convertInto(samples, m_planes.data(), m_capacity)};
}

PcmConverter::Converted PcmConverter::drain()
{
    reserve(maxFramesFor(0));
    // A null input tells libswresample to flush what its filter still holds.
    return {m_planes.data(), run(nullptr, 0, m_planes.data(), m_capacity)};
}

int PcmConverter::run(const std::uint8_t* const* input, int inputFrames,
                      std::uint8_t* const* planes, int capacity)
{
    const int frames = swr_convert(m_swr.get(), const_cast<std::uint8_t**>(planes), capacity,
                                   const_cast<const std::uint8_t**>(input), inputFrames);
    if (frames < 0)
        throw ComponentError(
            QStringLiteral("Audio conversion failed: %1").arg(Ffmpeg::errorText(frames)));
    if (m_meter && frames > 0)
        measure(planes, frames);
    return frames;
}

void PcmConverter::measure(const std::uint8_t* const* planes, int frames)
{
    const auto samples = static_cast<std::size_t>(frames) * static_cast<std::size_t>(m_channels);
    switch (m_format) {
    case AV_SAMPLE_FMT_FLTP:
        m_meter->addPlanar(reinterpret_cast<const float* const*>(planes), frames);
        break;
    case AV_SAMPLE_FMT_FLT:
        m_meter->add(std::span(reinterpret_cast<const float*>(planes[0]), samples));
        break;
    case AV_SAMPLE_FMT_S16:
        m_meter->add(std::span(reinterpret_cast<const std::int16_t*>(planes[0]), samples));
        break;
    case AV_SAMPLE_FMT_S32:
        m_meter->add(std::span(reinterpret_cast<const std::int32_t*>(planes[0]), samples));
        break;
    case AV_SAMPLE_FMT_U8:
        m_unsigned.resize(samples);
        for (std::size_t i = 0; i < samples; ++i)
            m_unsigned[i] = (planes[0][i] - 128) / 128.0f;
        m_meter->add(std::span<const float>(m_unsigned));
        break;
    default:
        throw ComponentError(QStringLiteral("The loudness of this sample format is not measured"));
    }
}

void PcmConverter::reserve(int frames)
{
    if (frames <= m_capacity)
        return;
    const bool planar = av_sample_fmt_is_planar(m_format);
    const int planeCount = planar ? m_channels : 1;
    const int bytesPerFrame = av_get_bytes_per_sample(m_format) * (planar ? 1 : m_channels);
    const int capacity = frames + frames / 4; // room to grow without a new buffer every call
    for (std::size_t i = 0; i < static_cast<std::size_t>(planeCount); ++i) {
        m_buffers[i].reset(static_cast<std::uint8_t*>(av_malloc(
            static_cast<std::size_t>(capacity) * static_cast<std::size_t>(bytesPerFrame))));
        m_planes[i] = m_buffers[i].get();
        if (!m_planes[i])
            throw std::bad_alloc();
    }
    m_capacity = capacity;
}
