#include "cli/FindOffset.h"

#include "components/grabber/AccurateRipChecksum.h"

#include <cstdlib>
#include <set>
#include <vector>

namespace {

// Whether a checksum at offset may match an entry of the track: its v1, or its sector-450
// checksum (which finds pressings kept with v2 checksums); the full checksums decide.
bool mayMatch(const AccurateRipAnswer& answer, int index, const OffsetChecksums& sums, int offset)
{
    const quint32 v1 = sums.v1At(offset);
    std::optional<quint32> frame450;
    for (const AccurateRipPressing& pressing : answer.pressings) {
        if (index >= pressing.tracks.size())
            continue;
        const AccurateRipTrackEntry& entry = pressing.tracks.at(index);
        if (entry.confidence == 0 && entry.checksum == 0)
            continue;
        if (entry.checksum == v1)
            return true;
        if (entry.frame450 != 0) {
            if (!frame450)
                frame450 = sums.frame450At(offset);
            if (*frame450 == entry.frame450)
                return true;
        }
    }
    return false;
}

} // namespace

FoundOffset findReadOffset(const AccurateRipAnswer& answer, int trackCount, int margin,
                           const std::function<OffsetChecksums(int index, int margin)>& read)
{
    std::vector<int> confidence(static_cast<std::size_t>(2 * margin + 1), 0);
    std::vector<int> matched(confidence.size(), 0);
    const auto count = [&](int index, const OffsetChecksums& sums, int offset) {
        const auto verdict = judgeAccurateRip(answer, index, sums.sumsAt(offset));
        if (!verdict || !verdict->accurate())
            return false;
        confidence[static_cast<std::size_t>(offset + margin)] += verdict->confidence;
        ++matched[static_cast<std::size_t>(offset + margin)];
        return true;
    };
    // A track too short for a sector-450 checksum finds a pressing kept with v2 checksums only
    // at the offsets the other tracks found: it is kept (it is short) and tried at those.
    struct ShortTrack
    {
        int index;
        OffsetChecksums sums;
        std::set<int> matched;
    };
    std::vector<ShortTrack> shortTracks;
    for (int index = 0; index < trackCount; ++index) {
        OffsetChecksums sums = read(index, margin);
        std::set<int> found;
        for (int offset = -margin; offset <= margin; ++offset)
            if (mayMatch(answer, index, sums, offset) && count(index, sums, offset))
                found.insert(offset);
        if (!sums.hasFrame450())
            shortTracks.push_back({index, std::move(sums), std::move(found)});
    }
    for (int offset = -margin; offset <= margin; ++offset) {
        if (confidence[static_cast<std::size_t>(offset + margin)] == 0)
            continue;
        for (const ShortTrack& track : shortTracks)
            if (!track.matched.contains(offset))
                count(track.index, track.sums, offset);
    }
    FoundOffset best;
    for (int offset = -margin; offset <= margin; ++offset) {
        const auto at = static_cast<std::size_t>(offset + margin);
        // On a tie the offset nearer to 0 wins: the smaller correction.
        if (confidence[at] > best.confidence ||
            (confidence[at] == best.confidence && confidence[at] > 0 &&
             std::abs(offset) < std::abs(best.offset)))
            best = {offset, confidence[at], matched[at]};
    }
    return best;
}
