#pragma once

#include <QString>

#include <FLAC/stream_decoder.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

struct FlacDecoderDeleter
{
    void operator()(FLAC__StreamDecoder* decoder) const { FLAC__stream_decoder_delete(decoder); }
};
using FlacDecoderHandle = std::unique_ptr<FLAC__StreamDecoder, FlacDecoderDeleter>;

/// Decodes a FLAC file for reads at any frame (stereo sample pair). Keeps the last few seconds
/// decoded: reads that go on where the stream was decoded to, or go back into those seconds (as
/// paranoia's overlapping reads do), decode nothing twice; others seek.
class FlacDecoder final
{
public:
    /// The stream's format, from its STREAMINFO.
    struct Format
    {
        unsigned sampleRate = 0;
        unsigned channels = 0;
        unsigned bitsPerSample = 0;
        quint64 frames = 0; // 0: the stream does not say
    };

    /// Opens the file; throws ComponentError (the reason, without the path) when it is no FLAC
    /// stream.
    explicit FlacDecoder(const QString& path);
    FlacDecoder(const FlacDecoder&) = delete;
    FlacDecoder& operator=(const FlacDecoder&) = delete;

    const Format& format() const { return m_format; }
    /// Decodes the whole stream to count its frames.
    quint64 countFrames();
    /// Reads count frames from frame from into out (interleaved 16-bit stereo); returns how many
    /// were read, fewer where the stream ends or a frame is damaged.
    qint64 read(qint64 from, qint64 count, std::int16_t* out);

private:
    static FLAC__StreamDecoderWriteStatus onWrite(const FLAC__StreamDecoder*,
                                                  const FLAC__Frame* frame,
                                                  const FLAC__int32* const buffer[], void* self);
    static void onMetadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata,
                           void* self);
    static void onError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* self);

    /// A decoded block of the stream.
    struct Block
    {
        qint64 start = 0;                  // its first frame
        std::vector<std::int16_t> samples; // interleaved stereo
        bool damaged = false;              // libFLAC could not decode it

        qint64 end() const { return start + static_cast<qint64>(samples.size() / 2); }
    };

    const Block* blockWith(qint64 frame) const;
    /// Decodes the block with frame in it; null when it cannot be decoded.
    const Block* decodeBlockWith(qint64 frame);
    void keep(Block block);

    FlacDecoderHandle m_decoder;
    Format m_format;
    std::deque<Block> m_blocks; // the last ones decoded, in the order of decoding
    qint64 m_keptFrames = 0;
    qint64 m_decodedTo = -1;  // the frame after the last block decoded; -1 after a seek failed
    bool m_errorSeen = false; // a decoding error since the last block
    bool m_counting = false;  // countFrames: blocks are counted, not kept
    quint64 m_counted = 0;
};
