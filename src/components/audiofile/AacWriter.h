#pragma once

#include "components/audiofile/AudioWriter.h"

#include <QString>

#include <memory>

/// AAC-LC in an MP4 file (.m4a) through FFmpeg's own encoder: the disc's 44100 Hz stereo at
/// bitrate kbps, with the gapless playback information (iTunSMPB) players use to drop the
/// encoder's delay and the padding of its last frame.
struct AacFormat
{
    int bitrate = 192;

    bool operator==(const AacFormat&) const = default;
};

/// Throws ComponentError for a bitrate outside 8 to 512 kbps.
void checkAacFormat(const AacFormat& format);
std::unique_ptr<AudioWriter> openAacWriter(const AacFormat& format, const QString& path);
