#include "FlacDecoder.h"

#include "base/ComponentError.h"

#include <QFile>

#include <algorithm>
#include <cstring>

FlacDecoder::FlacDecoder(const QString& path) : m_decoder(FLAC__stream_decoder_new())
{
    if (!m_decoder)
        throw ComponentError(QStringLiteral("out of memory"));
    const FLAC__StreamDecoderInitStatus status = FLAC__stream_decoder_init_file(
        m_decoder.get(), QFile::encodeName(path).constData(), onWrite, onMetadata, onError, this);
    if (status != FLAC__STREAM_DECODER_INIT_STATUS_OK)
        throw ComponentError(QString::fromLatin1(FLAC__StreamDecoderInitStatusString[status]));
    if (!FLAC__stream_decoder_process_until_end_of_metadata(m_decoder.get()) ||
        m_format.sampleRate == 0)
        throw ComponentError(QStringLiteral("it is not a FLAC stream"));
    m_decodedTo = 0;
}

FLAC__StreamDecoderWriteStatus FlacDecoder::onWrite(const FLAC__StreamDecoder*,
                                                    const FLAC__Frame* frame,
                                                    const FLAC__int32* const buffer[], void* self)
{
    auto& decoder = *static_cast<FlacDecoder*>(self);
    const FLAC__FrameHeader& header = frame->header;
    const unsigned frames = header.blocksize;
    if (decoder.m_counting) {
        decoder.m_counted += frames;
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }
    Block block;
    block.start = static_cast<qint64>(header.number.sample_number);
    block.samples.assign(std::size_t{frames} * 2, 0);
    // A frame of another shape than the stream's CD audio is no audio of this disc.
    block.damaged = decoder.m_errorSeen || header.channels != 2 || header.bits_per_sample != 16;
    decoder.m_errorSeen = false;
    if (!block.damaged) {
        for (unsigned i = 0; i < frames; ++i) {
            block.samples[2 * i] = static_cast<std::int16_t>(buffer[0][i]);
            block.samples[2 * i + 1] = static_cast<std::int16_t>(buffer[1][i]);
        }
    }
    decoder.m_decodedTo = block.end();
    decoder.keep(std::move(block));
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void FlacDecoder::keep(Block block)
{
    // A few seconds: more than paranoia ever goes back.
    constexpr qint64 KeptFrames = 5 * 44100;
    m_keptFrames += block.end() - block.start;
    m_blocks.push_back(std::move(block));
    while (m_blocks.size() > 1 && m_keptFrames > KeptFrames) {
        m_keptFrames -= m_blocks.front().end() - m_blocks.front().start;
        m_blocks.pop_front();
    }
}

void FlacDecoder::onMetadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata,
                             void* self)
{
    if (metadata->type != FLAC__METADATA_TYPE_STREAMINFO)
        return;
    const FLAC__StreamMetadata_StreamInfo& info = metadata->data.stream_info;
    static_cast<FlacDecoder*>(self)->m_format = {info.sample_rate, info.channels,
                                                 info.bits_per_sample, info.total_samples};
}

void FlacDecoder::onError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* self)
{
    // libFLAC hands out silence for a frame it could not decode: that frame is unreadable.
    static_cast<FlacDecoder*>(self)->m_errorSeen = true;
}

quint64 FlacDecoder::countFrames()
{
    m_counting = true;
    m_counted = 0;
    FLAC__stream_decoder_process_until_end_of_stream(m_decoder.get());
    m_counting = false;
    FLAC__stream_decoder_reset(m_decoder.get());
    FLAC__stream_decoder_process_until_end_of_metadata(m_decoder.get());
    m_blocks.clear();
    m_keptFrames = 0;
    m_decodedTo = 0;
    return m_counted;
}

const FlacDecoder::Block* FlacDecoder::blockWith(qint64 frame) const
{
    for (auto block = m_blocks.rbegin(); block != m_blocks.rend(); ++block) {
        if (frame >= block->start && frame < block->end())
            return &*block;
    }
    return nullptr;
}

const FlacDecoder::Block* FlacDecoder::decodeBlockWith(qint64 frame)
{
    FLAC__StreamDecoder* decoder = m_decoder.get();
    if (frame == m_decodedTo &&
        FLAC__stream_decoder_get_state(decoder) <= FLAC__STREAM_DECODER_READ_FRAME) {
        const qint64 before = m_decodedTo;
        if (FLAC__stream_decoder_process_single(decoder) && m_decodedTo != before)
            return blockWith(frame);
    }
    if (!FLAC__stream_decoder_seek_absolute(decoder, static_cast<FLAC__uint64>(frame))) {
        // A failed seek leaves the decoder unusable until it is flushed.
        if (!FLAC__stream_decoder_flush(decoder))
            FLAC__stream_decoder_reset(decoder);
        m_decodedTo = -1;
        return nullptr;
    }
    return blockWith(frame);
}

qint64 FlacDecoder::read(qint64 from, qint64 count, std::int16_t* out)
{
    const qint64 total = static_cast<qint64>(m_format.frames);
    qint64 done = 0;
    while (done < count) {
        const qint64 frame = from + done;
        if (frame < 0 || (total > 0 && frame >= total))
            break;
        const Block* block = blockWith(frame);
        if (!block)
            block = decodeBlockWith(frame);
        if (!block || block->damaged)
            break;
        const qint64 offset = frame - block->start;
        const qint64 n = std::min(count - done, block->end() - frame);
        std::memcpy(out + 2 * done, block->samples.data() + 2 * offset,
                    static_cast<std::size_t>(n) * 4);
        done += n;
    }
    return done;
}
