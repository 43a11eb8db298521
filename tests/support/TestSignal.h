#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

/// CD audio for encoder tests: a different pair of tones in each channel under a slow swell,
/// with a little deterministic noise, so codecs spend real bits and channel mix-ups show.
/// The tones stay below 3.5 kHz, so even 8 kHz files keep them.
inline std::vector<std::int16_t> cdTestSignal(int frames, int firstFrame = 0)
{
    std::vector<std::int16_t> samples(static_cast<std::size_t>(frames) * 2);
    std::uint32_t noise = 12345;
    for (int i = 0; i < frames; ++i) {
        const double t = (firstFrame + i) / 44100.0;
        const double swell = 0.55 + 0.35 * std::sin(2 * std::numbers::pi * 1.3 * t);
        const double left = std::sin(2 * std::numbers::pi * 330 * t) +
                            0.3 * std::sin(2 * std::numbers::pi * 1250 * t);
        const double right = std::sin(2 * std::numbers::pi * 550 * t) +
                             0.3 * std::sin(2 * std::numbers::pi * 1870 * t);
        for (int ch = 0; ch < 2; ++ch) {
            noise = noise * 1664525u + 1013904223u;
            const double n = (static_cast<double>(noise >> 16) / 65536.0 - 0.5) * 0.04;
            const double v = swell * (ch == 0 ? left : right) / 1.3 + n;
            samples[static_cast<std::size_t>(i) * 2 + ch] =
                static_cast<std::int16_t>(std::lround(v * 20000));
        }
    }
    return samples;
}
