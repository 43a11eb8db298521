#pragma once

#include "components/audiofile/AudioWriter.h"

#include <QString>

#include <memory>

/// FLAC of the disc's audio as it is (44100 Hz, 16 bit, stereo): libFLAC's compression level
/// 0 .. 8 and, with verify, libFLAC's own check that the encoded audio decodes to the input.
struct FlacFormat
{
    int compression = 5;
    bool verify = false;

    bool operator==(const FlacFormat&) const = default;
};

/// Room the writer leaves after the (empty) comment block, so the tag step fills in the comments
/// without moving the audio.
inline constexpr unsigned FlacTagPadding = 8192;

/// Throws ComponentError when the compression level is outside 0 .. 8.
void checkFlacFormat(const FlacFormat& format);
std::unique_ptr<AudioWriter> openFlacWriter(const FlacFormat& format, const QString& path);
