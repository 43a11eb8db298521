#pragma once

#include <cstdint>
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
};
