#pragma once

#include "base/IAudioCDGrabber2.h"

#include <cstdint>
#include <span>
#include <vector>

/// The AccurateRip checksums of one track, taken as its samples are read. Every stereo frame
/// (left sample in the low, right in the high 16 bits) is weighted by its 1-based position in
/// the track; v1 adds the products, v2 adds their high and low 32 bits. The disc's first track
/// leaves out its first five sectors but the last frame of them, its last track its last five.
class AccurateRipChecksum final
{
public:
    static constexpr int FramesPerSector = 588;
    /// The sector of a track whose checksum of its own helps find a drive's offset.
    static constexpr int OffsetSector = 450;

    /// frames: the track's length in stereo frames.
    AccurateRipChecksum(qint64 frames, bool firstTrack, bool lastTrack);

    /// The next interleaved 16-bit stereo samples of the track.
    void add(std::span<const std::int16_t> samples);
    AccurateRipSums sums() const { return m_sums; }

private:
    qint64 m_position = 0; // frames taken so far
    qint64 m_from;         // 1-based positions that count: m_from .. m_to
    qint64 m_to;
    AccurateRipSums m_sums;
};

/// The v1 and sector-450 checksums of a track at every read offset within ±margin samples, from
/// one read of the track with margin frames of its neighbours (or silence) before and after it.
/// v1 moves from one offset to the next in a few steps, so all of them take one pass over the
/// audio; sumsAt gives every checksum at one offset.
class OffsetChecksums final
{
public:
    /// wide: interleaved stereo samples, margin frames before the track's first, margin after
    /// its last.
    OffsetChecksums(std::vector<std::int16_t> wide, qint64 trackFrames, int margin, bool firstTrack,
                    bool lastTrack);

    int margin() const { return m_margin; }
    quint32 v1At(int offset) const { return m_v1.at(static_cast<std::size_t>(offset + m_margin)); }
    /// Whether the track reaches past its sector 450; frame450At is 0 where it does not.
    bool hasFrame450() const;
    quint32 frame450At(int offset) const;
    /// v1, v2 and the sector-450 checksum of the track read with offset.
    AccurateRipSums sumsAt(int offset) const;

private:
    quint32 frameAt(qint64 index) const;
    void computeV1();

    std::vector<std::int16_t> m_wide;
    qint64 m_frames;
    int m_margin;
    bool m_first;
    bool m_last;
    std::vector<quint32> m_v1; // by offset + margin
};
