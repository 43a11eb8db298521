#include "DeEmphasis.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double Pole = 0.6278131713287702;
constexpr double Zero = 0.19236441179461602;
// Unity gain at 0 Hz.
constexpr double Gain = (1.0 - Pole) / (1.0 - Zero);

} // namespace

void DeEmphasis::apply(std::span<std::int16_t> samples)
{
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const std::size_t channel = i % 2;
        const double input = samples[i];
        const double output = Gain * (input - Zero * m_input[channel]) + Pole * m_output[channel];
        m_input[channel] = input;
        m_output[channel] = output;
        samples[i] = static_cast<std::int16_t>(std::clamp(std::lround(output), -32768L, 32767L));
    }
}
