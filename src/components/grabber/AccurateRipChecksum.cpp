#include "AccurateRipChecksum.h"

#include <algorithm>

namespace {

constexpr qint64 LeftOutFrames = 5 * AccurateRipChecksum::FramesPerSector;
constexpr qint64 OffsetSectorFrom =
    qint64{AccurateRipChecksum::OffsetSector} * AccurateRipChecksum::FramesPerSector;

quint32 frameOf(const std::int16_t* stereo)
{
    return static_cast<quint32>(static_cast<std::uint16_t>(stereo[0])) |
           static_cast<quint32>(static_cast<std::uint16_t>(stereo[1])) << 16;
}

// The first and last 1-based positions that count.
qint64 countFrom(bool firstTrack)
{
    return firstTrack ? LeftOutFrames : 1;
}

qint64 countTo(qint64 frames, bool lastTrack)
{
    return lastTrack ? frames - LeftOutFrames : frames;
}

} // namespace

AccurateRipChecksum::AccurateRipChecksum(qint64 frames, bool firstTrack, bool lastTrack)
    : m_from(countFrom(firstTrack)), m_to(countTo(frames, lastTrack))
{
}

void AccurateRipChecksum::add(std::span<const std::int16_t> samples)
{
    for (std::size_t i = 0; i + 1 < samples.size(); i += 2) {
        const quint32 frame = frameOf(samples.data() + i);
        const qint64 position = ++m_position;
        if (position >= m_from && position <= m_to) {
            const quint64 product = static_cast<quint64>(static_cast<quint32>(position)) * frame;
            m_sums.v1 += static_cast<quint32>(product);
            m_sums.v2 += static_cast<quint32>(product) + static_cast<quint32>(product >> 32);
        }
        const qint64 inSector = position - OffsetSectorFrom;
        if (inSector >= 1 && inSector <= FramesPerSector)
            m_sums.frame450 += static_cast<quint32>(inSector) * frame;
    }
}

OffsetChecksums::OffsetChecksums(std::vector<std::int16_t> wide, qint64 trackFrames, int margin,
                                 bool firstTrack, bool lastTrack)
    : m_wide(std::move(wide)), m_frames(trackFrames), m_margin(margin), m_first(firstTrack),
      m_last(lastTrack)
{
    m_wide.resize(static_cast<std::size_t>(trackFrames + 2 * qint64{margin}) * 2, 0);
    computeV1();
}

quint32 OffsetChecksums::frameAt(qint64 index) const
{
    return frameOf(m_wide.data() + index * 2);
}

void OffsetChecksums::computeV1()
{
    // With x the track read at offset o (x[i] = frame margin + o + i) and the positions lo .. hi
    // (0-based) that count: S(o) = sum (i + 1) x[i] and T(o) = sum x[i]. One step on:
    // S(o + 1) = S(o) - T(o) - lo x[lo] + (hi + 1) x[hi + 1], T(o + 1) = T(o) - x[lo] + x[hi + 1].
    const qint64 lo = countFrom(m_first) - 1;
    const qint64 hi = std::min(countTo(m_frames, m_last), m_frames) - 1;
    m_v1.assign(static_cast<std::size_t>(2 * m_margin + 1), 0);
    if (hi < lo)
        return;
    quint32 s = 0;
    quint32 t = 0;
    for (qint64 i = lo; i <= hi; ++i) {
        const quint32 frame = frameAt(i); // offset -margin: x[i] is frame i of the wide read
        s += static_cast<quint32>(i + 1) * frame;
        t += frame;
    }
    for (int k = 0;; ++k) {
        m_v1[static_cast<std::size_t>(k)] = s;
        if (k == 2 * m_margin)
            break;
        const quint32 first = frameAt(k + lo);
        const quint32 next = frameAt(k + hi + 1);
        s = s - t - static_cast<quint32>(lo) * first + static_cast<quint32>(hi + 1) * next;
        t = t - first + next;
    }
}

bool OffsetChecksums::hasFrame450() const
{
    return m_frames >= OffsetSectorFrom + AccurateRipChecksum::FramesPerSector;
}

quint32 OffsetChecksums::frame450At(int offset) const
{
    if (!hasFrame450())
        return 0;
    quint32 sum = 0;
    const qint64 start = m_margin + offset + OffsetSectorFrom;
    for (int i = 0; i < AccurateRipChecksum::FramesPerSector; ++i)
        sum += static_cast<quint32>(i + 1) * frameAt(start + i);
    return sum;
}

AccurateRipSums OffsetChecksums::sumsAt(int offset) const
{
    AccurateRipChecksum checksum(m_frames, m_first, m_last);
    checksum.add(std::span(m_wide).subspan(static_cast<std::size_t>(m_margin + offset) * 2,
                                           static_cast<std::size_t>(m_frames) * 2));
    return checksum.sums();
}
