#include "components/lookup/MusicBrainzDisc.h"

#include <discid/discid.h>

#include <memory>

namespace {

struct DiscIdDeleter
{
    void operator()(DiscId* d) const { discid_free(d); }
};
using DiscIdHandle = std::unique_ptr<DiscId, DiscIdDeleter>;

// The lead-out and the lead-in of a second session lie between the audio and a data track.
constexpr int SessionGap = 11400;

} // namespace

MusicBrainzDisc musicBrainzDisc(const FreeDBDisc& disc)
{
    MusicBrainzDisc result;
    const qsizetype count = disc.trackOffsets.size();
    if (count == 0 || count > 99)
        return result;
    // The audio tracks come first; a data track after them (Enhanced CD) marks the end of
    // the audio session.
    qsizetype audio = count;
    int leadOut = disc.leadOut;
    if (disc.dataTracks.size() == count) {
        audio = 0;
        while (audio < count && !disc.dataTracks.at(audio))
            ++audio;
        if (audio == 0)
            return result;
        if (audio < count)
            leadOut = disc.trackOffsets.at(audio) - SessionGap;
    }
    int offsets[100] = {};
    offsets[0] = leadOut;
    for (qsizetype i = 0; i < audio; ++i)
        offsets[i + 1] = disc.trackOffsets.at(i);
    DiscIdHandle handle(discid_new());
    if (!handle || !discid_put(handle.get(), 1, static_cast<int>(audio), offsets))
        return result;
    result.id = QString::fromLatin1(discid_get_id(handle.get()));
    result.toc = QString::fromLatin1(discid_get_toc_string(handle.get())).replace(u' ', u'+');
    result.audioTracks = static_cast<int>(audio);
    return result;
}
