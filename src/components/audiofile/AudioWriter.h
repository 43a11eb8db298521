#pragma once

#include "base/ReplayGain.h"

#include <cstdint>
#include <memory>
#include <span>

/// The audio every writer is fed: CD audio, interleaved signed 16-bit stereo at 44100 Hz.
namespace CdAudio {
inline constexpr int Rate = 44100;
inline constexpr int Channels = 2;
} // namespace CdAudio

/// Writes one output file of one format. Created with the file (the header is written at once),
/// fed the grab's CD audio, and completed by finish(). A writer dropped without finish() removes
/// its file, so only completed files stay. Failures throw ComponentError.
class AudioWriter
{
public:
    virtual ~AudioWriter() = default;

    /// Interleaved signed 16-bit stereo samples at 44100 Hz.
    virtual void write(std::span<const std::int16_t> samples) = 0;
    /// Encodes what is still buffered, completes the headers and closes the file.
    virtual void finish() = 0;

    /// From the first write on, the audio is also measured for ReplayGain as it goes into the
    /// file: after the resampling and down-mixing of the format. Called before any write.
    virtual void measureReplayGain() = 0;
    /// The meter, once the file is finished; null when nothing was measured.
    std::unique_ptr<ReplayGainMeter> takeReplayGainMeter() { return std::move(m_meter); }

protected:
    /// A new meter for audio of that rate and channel count, kept until it is taken.
    ReplayGainMeter& startMeter(int sampleRate, int channels)
    {
        m_meter = std::make_unique<ReplayGainMeter>(sampleRate, channels);
        return *m_meter;
    }
    ReplayGainMeter* meter() const { return m_meter.get(); }

private:
    std::unique_ptr<ReplayGainMeter> m_meter;
};
