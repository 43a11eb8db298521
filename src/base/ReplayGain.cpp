#include "base/ReplayGain.h"

#include "base/ComponentError.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace {

// Both channels of a frame side by side, so the compiler computes them in one register.
using Pair = double __attribute__((vector_size(2 * sizeof(double))));

constexpr int MinSampleRate = 8000;
constexpr double LoudnessOffset = -0.691; // BS.1770's loudness of a mean square of 1
constexpr double AbsoluteGate = -70.0;    // LUFS
constexpr double RelativeGate = -10.0;    // LU below the loudness of the blocks above the first
// The Opus header's gains are relative to -23 LUFS, five below the ReplayGain reference.
constexpr double R128Reference = -23.0;
// Filter state this small is set to zero, so that silence never reaches denormal numbers, which
// the processor handles hundreds of times slower. Far below anything audible.
constexpr double TinyState = 1e-250;

double energyOf(double lufs)
{
    return std::pow(10.0, (lufs - LoudnessOffset) / 10);
}

double loudnessOf(double energy)
{
    return LoudnessOffset + 10 * std::log10(energy);
}

// BS.1770's pre-filter, a high shelf of +4 dB, designed for the sample rate the way the
// standard's 48 kHz coefficients were.
ReplayGainMeter::Biquad shelfFor(double rate)
{
    constexpr double F0 = 1681.974450955533;
    constexpr double GainDb = 3.999843853973347;
    constexpr double Q = 0.7071752369554196;
    const double k = std::tan(std::numbers::pi * F0 / rate);
    const double vh = std::pow(10.0, GainDb / 20);
    const double vb = std::pow(vh, 0.4996667741545416);
    const double a0 = 1 + k / Q + k * k;
    return {(vh + vb * k / Q + k * k) / a0, 2 * (k * k - vh) / a0, (vh - vb * k / Q + k * k) / a0,
            2 * (k * k - 1) / a0, (1 - k / Q + k * k) / a0};
}

// BS.1770's second stage, the RLB high-pass.
ReplayGainMeter::Biquad highPassFor(double rate)
{
    constexpr double F0 = 38.13547087602444;
    constexpr double Q = 0.5003270373238773;
    const double k = std::tan(std::numbers::pi * F0 / rate);
    const double a0 = 1 + k / Q + k * k;
    return {1, -2, 1, 2 * (k * k - 1) / a0, (1 - k / Q + k * k) / a0};
}

// The filters' memory, in the order of ReplayGainMeter::m_history.
struct FilterState
{
    Pair x1, x2, y1, y2, z1, z2;
};
static_assert(sizeof(FilterState) == 12 * sizeof(double));

void flush(FilterState& state)
{
    for (Pair* value : {&state.x1, &state.x2, &state.y1, &state.y2, &state.z1, &state.z2}) {
        const Pair magnitude = *value < 0 ? -*value : *value;
        *value = magnitude < TinyState ? Pair{} : *value;
    }
}

// Where the processor has fused multiply-add (x86-64-v3), a second build of the filter loop uses
// it, picked when the program is loaded: the loop runs almost twice as fast with it.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && defined(__GLIBC__)
#define KWEIGHTING_CLONES __attribute__((target_clones("default", "arch=x86-64-v3")))
#else
#define KWEIGHTING_CLONES
#endif

// Runs frames through the K-weighting (both filters in direct form I, both channels at once) and
// returns the sum of the squares of the weighted audio; raises peak to the largest magnitude.
// The term of the last output comes last in each filter: it alone waits for the frame before.
KWEIGHTING_CLONES double kWeightedSquares(const double* frames, int count,
                                          const ReplayGainMeter::Biquad& p,
                                          const ReplayGainMeter::Biquad& r, FilterState& state,
                                          Pair& peak)
{
    Pair x1 = state.x1, x2 = state.x2, y1 = state.y1, y2 = state.y2, z1 = state.z1, z2 = state.z2;
    Pair sum{};
    Pair top = peak;
    for (int i = 0; i < count; ++i) {
        Pair x;
        std::memcpy(&x, frames + 2 * i, sizeof x);
        const Pair magnitude = x < 0 ? -x : x;
        top = magnitude > top ? magnitude : top;
        const Pair y = (p.b0 * x + p.b1 * x1 + p.b2 * x2 - p.a2 * y2) - p.a1 * y1;
        // The high-pass's input coefficients are 1, -2 and 1.
        const Pair z = ((y + y2) - (y1 + y1) - r.a2 * z2) - r.a1 * z1;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        z2 = z1;
        z1 = z;
        sum += z * z;
    }
    state = {x1, x2, y1, y2, z1, z2};
    peak = top;
    return sum[0] + sum[1];
}

// The gated loudness over the blocks of all lists: the mean of the blocks at most 10 LU below
// the mean of all of them (every block here is above the absolute gate already).
std::optional<double> gatedLoudness(std::span<const std::vector<double>* const> lists)
{
    double sum = 0;
    std::size_t count = 0;
    for (const std::vector<double>* blocks : lists) {
        for (const double block : *blocks)
            sum += block;
        count += blocks->size();
    }
    if (count == 0)
        return std::nullopt;
    const double threshold = sum / static_cast<double>(count) * std::pow(10.0, RelativeGate / 10);
    double gated = 0;
    std::size_t gatedCount = 0;
    for (const std::vector<double>* blocks : lists) {
        for (const double block : *blocks) {
            if (block >= threshold) {
                gated += block;
                ++gatedCount;
            }
        }
    }
    return loudnessOf(gated / static_cast<double>(gatedCount));
}

} // namespace

ReplayGainMeter::ReplayGainMeter(int sampleRate, int channels)
    : m_sampleRate(sampleRate), m_channels(channels), m_subBlockFrames((sampleRate + 5) / 10),
      m_shelf(shelfFor(sampleRate)), m_highPass(highPassFor(sampleRate))
{
    if ((channels != 1 && channels != 2) || sampleRate < MinSampleRate)
        throw ComponentError(QStringLiteral("Cannot measure the loudness of %1 Hz, %2 channels")
                                 .arg(sampleRate)
                                 .arg(channels));
}

// The input is taken a sub-block (100 ms, the step of the 400 ms blocks) at a time into a buffer
// of both channels side by side, the layout the filter loop reads.
template <typename FrameAt> void ReplayGainMeter::measure(int frames, FrameAt frameAt)
{
    m_frames.resize(static_cast<std::size_t>(m_subBlockFrames) * 2);
    double* buffer = m_frames.data();
    FilterState state;
    std::memcpy(&state, m_history, sizeof state);
    Pair peak{m_peak, m_peak};
    for (int done = 0; done < frames;) {
        const int count = std::min(frames - done, m_subBlockFrames - m_filled);
        for (int i = 0; i < count; ++i) {
            const Pair frame = frameAt(done + i);
            std::memcpy(buffer + 2 * i, &frame, sizeof frame);
        }
        m_sum += kWeightedSquares(buffer, count, m_shelf, m_highPass, state, peak);
        flush(state);
        m_filled += count;
        done += count;
        if (m_filled == m_subBlockFrames)
            closeSubBlock();
    }
    std::memcpy(m_history, &state, sizeof state);
    m_peak = std::max(peak[0], peak[1]);
}

void ReplayGainMeter::closeSubBlock()
{
    const double subBlock = m_sum / m_subBlockFrames;
    if (m_subBlockCount >= 3) {
        const double block = (m_subBlocks[0] + m_subBlocks[1] + m_subBlocks[2] + subBlock) / 4;
        if (block >= energyOf(AbsoluteGate))
            m_blocks.push_back(block);
    }
    m_subBlocks[0] = m_subBlocks[1];
    m_subBlocks[1] = m_subBlocks[2];
    m_subBlocks[2] = subBlock;
    ++m_subBlockCount;
    m_sum = 0;
    m_filled = 0;
}

void ReplayGainMeter::add(std::span<const std::int16_t> samples)
{
    constexpr double Scale = 1.0 / 32768;
    const std::int16_t* s = samples.data();
    const int frames = static_cast<int>(samples.size() / static_cast<std::size_t>(m_channels));
    if (m_channels == 2)
        measure(frames, [s](int i) { return Pair{s[2 * i] * Scale, s[2 * i + 1] * Scale}; });
    else
        measure(frames, [s](int i) { return Pair{s[i] * Scale, 0}; });
}

void ReplayGainMeter::add(std::span<const std::int32_t> samples)
{
    constexpr double Scale = 1.0 / 2147483648.0;
    const std::int32_t* s = samples.data();
    const int frames = static_cast<int>(samples.size() / static_cast<std::size_t>(m_channels));
    if (m_channels == 2)
        measure(frames, [s](int i) { return Pair{s[2 * i] * Scale, s[2 * i + 1] * Scale}; });
    else
        measure(frames, [s](int i) { return Pair{s[i] * Scale, 0}; });
}

void ReplayGainMeter::add(std::span<const float> samples)
{
    const float* s = samples.data();
    const int frames = static_cast<int>(samples.size() / static_cast<std::size_t>(m_channels));
    if (m_channels == 2)
        measure(frames, [s](int i) { return Pair{s[2 * i], s[2 * i + 1]}; });
    else
        measure(frames, [s](int i) { return Pair{s[i], 0}; });
}

void ReplayGainMeter::addPlanar(const float* const* planes, int frames)
{
    const float* left = planes[0];
    if (m_channels == 2) {
        const float* right = planes[1];
        measure(frames, [left, right](int i) { return Pair{left[i], right[i]}; });
    } else {
        measure(frames, [left](int i) { return Pair{left[i], 0}; });
    }
}

std::optional<ReplayGainValues> ReplayGainMeter::trackValues() const
{
    const std::vector<double>* blocks[] = {&m_blocks};
    const auto loudness = gatedLoudness(blocks);
    if (!loudness)
        return std::nullopt;
    return ReplayGainValues{ReplayGainReference - *loudness, m_peak};
}

std::optional<ReplayGainValues> albumValues(std::span<const ReplayGainMeter* const> tracks)
{
    std::vector<const std::vector<double>*> blocks;
    double peak = 0;
    for (const ReplayGainMeter* track : tracks) {
        blocks.push_back(&track->gatedBlocks());
        peak = std::max(peak, track->peak());
    }
    const auto loudness = gatedLoudness(blocks);
    if (!loudness)
        return std::nullopt;
    return ReplayGainValues{ReplayGainReference - *loudness, peak};
}

int r128Gain(double replayGain)
{
    const double q78 = std::round((replayGain + R128Reference - ReplayGainReference) * 256);
    return static_cast<int>(std::clamp(q78, -32768.0, 32767.0));
}
