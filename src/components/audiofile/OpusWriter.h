#pragma once

#include "components/audiofile/AudioWriter.h"

#include <QString>

#include <memory>

/// Ogg Opus through libopus: 48000 Hz stereo, VBR around bitrate kbps. The header's output
/// gain stays 0; loudness goes into the R128 tags.
struct OpusFormat
{
    int bitrate = 160;

    bool operator==(const OpusFormat&) const = default;
};

/// Throws ComponentError for a bitrate libopus cannot take (6 to 510 kbps), or when the FFmpeg
/// the program runs with has no libopus.
void checkOpusFormat(const OpusFormat& format);
std::unique_ptr<AudioWriter> openOpusWriter(const OpusFormat& format, const QString& path);
