#pragma once

extern "C" {
#include <libavutil/samplefmt.h>
}

#include "components/audiofile/AudioWriter.h"
#include "components/audiofile/FfmpegHandles.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

class ReplayGainMeter;

/// Turns CD audio (44100 Hz, signed 16-bit, stereo, interleaved) into the sample rate, channel
/// count and sample format a writer needs, in one libswresample pass. Stereo is mixed down to
/// mono as (left + right) / 2, so a full-scale signal never clips.
class PcmConverter
{
public:
    /// One plane for an interleaved format, one per channel for a planar one.
    struct Converted
    {
        const std::uint8_t* const* planes;
        int frames;
    };

    PcmConverter(int sampleRate, int channels, AVSampleFormat format);

    /// Converts samples; the result stays valid until the next call.
    Converted convert(std::span<const std::int16_t> samples);
    /// At the end of the stream: what the resampler still holds. Call until it gives no frames.
    Converted drain();

    /// From now on, everything converted is also measured by meter (null: nothing is).
    void setMeter(ReplayGainMeter* meter) { m_meter = meter; }

    /// At most this many frames come out of converting frames CD frames.
    int maxFramesFor(int frames) const;
    /// Converts into buffers the caller provides (capacity from maxFramesFor); returns the frames
    /// written.
    int convertInto(std::span<const std::int16_t> samples, std::uint8_t* const* planes,
                    int capacity);

private:
    void reserve(int frames);
    void measure(const std::uint8_t* const* planes, int frames);
    int run(const std::uint8_t* const* input, int inputFrames, std::uint8_t* const* planes,
            int capacity);

    Ffmpeg::Swr m_swr;
    int m_channels;
    AVSampleFormat m_format;
    int m_capacity = 0;
    std::array<Ffmpeg::Memory, 2> m_buffers;
    std::array<std::uint8_t*, 2> m_planes{};
    ReplayGainMeter* m_meter = nullptr;
    std::vector<float> m_unsigned; // 8-bit samples as the meter takes them
};
