#pragma once

#include "DiscToc.h"
#include "TrackTexts.h"

#include <QList>

#include <cdio/cdio.h>

#include <cstdint>

/// The disc in a drive, opened for reading: a hardware drive's or an NRG image's through
/// libcdio, a cue sheet's or TOC file's through the grabber's own image reader. Used by one
/// thread at a time.
class Disc
{
public:
    virtual ~Disc() = default;

    /// The table of contents, data tracks included. Throws ComponentError when the disc has none.
    virtual DiscToc readToc() = 0;
    /// Adds the media catalogue number and each audio track's ISRC, pregap and pre-emphasis
    /// flag. Kept apart from readToc: a drive answers these slowly, and only a read of the disc
    /// needs them.
    virtual void readDiscCodes(DiscToc& toc) = 0;
    /// The texts of each audio track, in order; empty when the disc has none.
    virtual QList<TrackTexts> readTexts(const QList<TocTrack>& audioTracks) = 0;

    /// Reads count raw audio sectors (2352 bytes of little-endian samples each) from first into
    /// out; false when any of them could not be read.
    virtual bool readAudio(int first, int count, std::uint8_t* out) = 0;
    /// The first sector that cannot be read: an image's end; a hardware disc has none below its
    /// lead-out.
    virtual int readableEnd() const = 0;

    /// libcdio's handle on the disc, for secure reading's drive; null for the grabber's own
    /// images.
    virtual CdIo_t* cdio() { return nullptr; }
};
