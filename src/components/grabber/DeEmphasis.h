#pragma once

#include <cstdint>
#include <span>

/// The de-emphasis of CD audio recorded with the standard 50/15 µs pre-emphasis: a first-order
/// shelf with unity gain at low frequencies, falling towards -10.5 dB at the top. Its pole and
/// zero are fitted to the analogue curve 1 + jωτ2 / 1 + jωτ1 (τ1 = 50 µs, τ2 = 15 µs) at
/// 44100 Hz: within 0.07 dB of it from 20 Hz to 20 kHz. Its gain never exceeds 1, so nothing
/// clips.
class DeEmphasis final
{
public:
    /// Filters interleaved 16-bit stereo samples in place; the filter's state carries over from
    /// one call to the next, so a track may come in pieces.
    void apply(std::span<std::int16_t> samples);

private:
    double m_input[2] = {};  // the last input sample of each channel
    double m_output[2] = {}; // the last output sample of each channel
};
