#pragma once

#include "base/ReplayGain.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <span>

class IAudioFile2LameEnc;

/// The output file of a grab. One of the Set...Format calls chooses the kind and form of the next
/// file; the grabber then opens it, writes the disc's audio into it and the caller closes it.
/// Failing calls throw ComponentError.
class IAudioFile2
{
public:
    virtual ~IAudioFile2() = default;

    /// Completes and closes the open file. A closed file is always complete and playable.
    virtual void Close() = 0;
    virtual void SetWaveFormat(int sampleRate, int channels, int bitsPerSample) = 0;
    /// Takes a snapshot of the encoder's settings for the following MP3 files.
    virtual void SetMp3Encoder(IAudioFile2LameEnc* encoder) = 0;
    /// quality -1: not quality mode; minBitrate = maxBitrate = 0: no managed bounds.
    virtual void SetOggVorbisFormat(int sampleRate, int channels, int bitrate, int minBitrate,
                                    int maxBitrate, int quality) = 0;
    /// format: 1 .. 47 of the WMA format list.
    virtual void SetWmaFormat(int format) = 0;
    /// FLAC at compression level 0 .. 8; verify: the encoder checks its output as it goes.
    virtual void SetFlacFormat(int compression, bool verify) = 0;
    /// Ogg Opus at 48000 Hz, stereo, VBR around bitrate kbps.
    virtual void SetOpusFormat(int bitrate) = 0;
    /// AAC-LC in MP4 at 44100 Hz, stereo, bitrate kbps, with the gapless playback information.
    virtual void SetAacFormat(int bitrate) = 0;
    virtual bool IsOpen() const = 0;
    virtual void OptionFlag(int flags) = 0;

    /// Creates the file at path in the format chosen last. Called by the grabber as a grab starts,
    /// in GrabToFile on the caller's thread, so a file that cannot be created fails that call.
    virtual void open(const QString& path) = 0;
    /// Appends CD audio: interleaved signed 16-bit stereo samples at 44100 Hz. Called on the
    /// grab's worker thread, never at the same time as another member.
    virtual void write(std::span<const std::int16_t> samples) = 0;

    /// Whether the files opened from now on are measured for ReplayGain while they are written:
    /// the audio as it goes into the file, after the conversion its format calls for.
    virtual void measureReplayGain(bool on) = 0;
    /// The meter of the file closed last, when it was measured; null otherwise. Hands it over
    /// once.
    virtual std::unique_ptr<ReplayGainMeter> takeReplayGainMeter() = 0;
};
