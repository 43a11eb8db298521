#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

/// ReplayGain 2.0 values of a track or an album: the gain in dB that brings the audio's
/// integrated loudness (EBU R128) to the reference of -18 LUFS, and the sample peak, 1.0 being
/// full scale.
struct ReplayGainValues
{
    double gain = 0;
    double peak = 0;
};

/// The loudness reference of ReplayGain 2.0, in LUFS.
inline constexpr double ReplayGainReference = -18.0;

/// Measures one track's audio as it goes into its file: the integrated loudness of ITU-R BS.1770
/// (K-weighting, 400 ms blocks every 100 ms, the absolute gate at -70 LUFS and the relative gate
/// 10 LU below) and the sample peak. One channel counts as mono, two as left and right, each with
/// weight 1. Fed in pieces of any size, in any of the sample layouts the writers use; it keeps
/// only the energies of the blocks, ten numbers a second.
///
/// The meter is our own rather than libebur128's: it runs at several thousand times real time
/// (libebur128 at about one thousand), which keeps ReplayGain within a few per cent of a FLAC
/// rip. The tests hold it to ffmpeg's ebur128 filter.
class ReplayGainMeter final
{
public:
    /// Throws ComponentError for a channel count other than 1 or 2, or a rate below 8000 Hz.
    ReplayGainMeter(int sampleRate, int channels);

    int sampleRate() const { return m_sampleRate; }
    int channels() const { return m_channels; }

    /// Interleaved samples, a whole number of frames.
    void add(std::span<const std::int16_t> samples);
    void add(std::span<const std::int32_t> samples);
    void add(std::span<const float> samples);
    /// One plane per channel, frames samples each.
    void addPlanar(const float* const* planes, int frames);

    /// The track's values; nullopt while nothing louder than the absolute gate (-70 LUFS) has
    /// been measured, as for a silent track.
    std::optional<ReplayGainValues> trackValues() const;

    /// Mean squares of the K-weighted audio over the 400 ms blocks above the absolute gate.
    const std::vector<double>& gatedBlocks() const { return m_blocks; }
    double peak() const { return m_peak; }

    /// The two filters of the K-weighting, in direct form I.
    struct Biquad
    {
        double b0, b1, b2, a1, a2;
    };

private:
    template <typename FrameAt> void measure(int frames, FrameAt frameAt);
    void closeSubBlock();

    int m_sampleRate;
    int m_channels;
    int m_subBlockFrames; // 100 ms
    Biquad m_shelf;
    Biquad m_highPass;
    // The last two inputs, shelf outputs and high-pass outputs, each for both channels.
    double m_history[12] = {};
    std::vector<double> m_frames; // a stretch of input, both channels side by side
    double m_sum = 0;             // of the squares of the current sub-block, over its channels
    int m_filled = 0;
    double m_subBlocks[3] = {}; // mean squares of the last three completed sub-blocks
    int m_subBlockCount = 0;
    std::vector<double> m_blocks;
    double m_peak = 0;
};

/// The album's values over the tracks' meters: the loudness gated over the blocks of all tracks
/// together, as if they were one, and the largest peak. nullopt when no track holds anything
/// above the absolute gate, or tracks is empty.
std::optional<ReplayGainValues> albumValues(std::span<const ReplayGainMeter* const> tracks);

/// The Opus header's gain format of a ReplayGain gain: Q7.8 fixed point relative to -23 LUFS,
/// within what 16 bits hold.
int r128Gain(double replayGain);
