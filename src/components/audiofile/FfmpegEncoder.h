#pragma once

#include "components/audiofile/AudioWriter.h"
#include "components/audiofile/FfmpegHandles.h"
#include "components/audiofile/PcmConverter.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class SeekableOutput;

/// What an FFmpeg encoder and muxer make of the audio.
struct FfmpegTarget
{
    const char* encoder; // libavcodec's name of the encoder
    const char* muxer;   // libavformat's name of the container
    const char* kind;    // the format's name in messages: "WMA", "Opus", "AAC"
    int sampleRate;
    int channels;
    AVSampleFormat sampleFormat;
    int kbps;
    // Leaves out what differs from run to run (stream serials, dates, the library's version),
    // so the same audio gives the same bytes.
    bool bitExact = false;
    using Options = std::vector<std::pair<std::string, std::string>>;
    // Options of the encoder and of the muxer, by their FFmpeg names.
    Options encoderOptions = {};
    Options muxerOptions = {};
};

/// Encodes converted audio with an FFmpeg encoder and muxes it into output, which outlives the
/// encoder. The audio is handed to the encoder in frames of its own fixed size, whatever the
/// pieces it comes in. Failures throw ComponentError naming path.
class FfmpegEncoder final
{
public:
    FfmpegEncoder(const FfmpegTarget& target, SeekableOutput& output, const QString& path);
    ~FfmpegEncoder();
    FfmpegEncoder(const FfmpegEncoder&) = delete;
    FfmpegEncoder& operator=(const FfmpegEncoder&) = delete;

    void append(const PcmConverter::Converted& audio);
    /// Encodes what is left and completes the container.
    void finish();
    /// Encodes what converter still holds, then finishes.
    void finishFrom(PcmConverter& converter);

    /// Samples the encoder puts in front of the audio (its delay), which players skip.
    int delay() const;
    /// Samples appended so far.
    std::int64_t audioFrames() const { return m_audioFrames; }
    /// Samples the encoded packets hold: delay, audio and the padding of the last packet.
    std::int64_t encodedFrames() const { return m_encodedFrames; }

private:
    void openEncoder();
    void openMuxer();
    void allocateFrame();
    void sendFrame();
    void receivePackets();
    void check(int result, const char* what);

    FfmpegTarget m_target;
    SeekableOutput& m_output;
    QString m_path;
    // Torn down in reverse: the muxer before its I/O context.
    Ffmpeg::IoContext m_io;
    Ffmpeg::FormatContext m_format;
    Ffmpeg::CodecContext m_codec;
    Ffmpeg::Frame m_frame;
    Ffmpeg::Packet m_packet;
    int m_filled = 0;
    std::int64_t m_nextPts = 0;
    std::int64_t m_audioFrames = 0;
    std::int64_t m_encodedFrames = 0;
};

/// A file written by an FFmpeg encoder: the CD audio converted to the target's rate, channels
/// and sample format, encoded and muxed straight into the file.
/// Throws ComponentError unless kbps lies within min .. max, the bitrates kind's encoder takes.
void checkBitrate(const char* kind, int kbps, int min, int max);

std::unique_ptr<AudioWriter> openFfmpegWriter(const FfmpegTarget& target, const QString& path);
