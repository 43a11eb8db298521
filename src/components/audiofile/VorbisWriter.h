#pragma once

#include "components/audiofile/AudioWriter.h"

#include <QString>

#include <memory>

/// Ogg Vorbis, by the arguments of SetOggVorbisFormat:
/// - quality 0 .. 1000 (not -1): quality mode, Vorbis quality 0.0 .. 1.0;
/// - else a minimum or maximum bitrate (not 0): managed mode, the bitrate within those bounds;
/// - else a bitrate: that average, reached through quality without bitrate management.
/// Bitrates in kbps.
struct VorbisFormat
{
    int sampleRate = 44100;
    int channels = 2;
    int bitrate = 128;
    int minBitrate = 0;
    int maxBitrate = 0;
    int quality = -1;

    bool operator==(const VorbisFormat&) const = default;
};

/// Throws ComponentError when libvorbisenc cannot encode the format.
void checkVorbisFormat(const VorbisFormat& format);
std::unique_ptr<AudioWriter> openVorbisWriter(const VorbisFormat& format, const QString& path);
