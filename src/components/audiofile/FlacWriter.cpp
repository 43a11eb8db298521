#include "components/audiofile/FlacWriter.h"

#include "base/ComponentError.h"
#include "components/audiofile/OutputFile.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

#include <array>
#include <vector>

namespace {

struct EncoderDeleter
{
    void operator()(FLAC__StreamEncoder* encoder) const { FLAC__stream_encoder_delete(encoder); }
};
using EncoderHandle = std::unique_ptr<FLAC__StreamEncoder, EncoderDeleter>;

struct MetadataDeleter
{
    void operator()(FLAC__StreamMetadata* block) const { FLAC__metadata_object_delete(block); }
};
using MetadataHandle = std::unique_ptr<FLAC__StreamMetadata, MetadataDeleter>;

constexpr int MaxCompression = 8;
constexpr unsigned BitsPerSample = 16;

// The track's length is not known while it is written, so the seek table is laid out for the
// longest track a disc can hold, one point every ten seconds; the points past the end are turned
// into padding when the file is complete.
constexpr unsigned SeekPointSpacing = 10 * CdAudio::Rate;
constexpr FLAC__uint64 LongestTrackSamples = 100ull * 60 * CdAudio::Rate;

// fLaC and the STREAMINFO block come first; the seek table is the first block after them.
constexpr std::int64_t SeekTableOffset =
    4 + FLAC__STREAM_METADATA_HEADER_LENGTH + FLAC__STREAM_METADATA_STREAMINFO_LENGTH;

MetadataHandle newBlock(FLAC__MetadataType type)
{
    MetadataHandle block(FLAC__metadata_object_new(type));
    if (!block)
        throw ComponentError(QStringLiteral("Out of memory for the FLAC metadata"));
    return block;
}

MetadataHandle seekTableTemplate()
{
    MetadataHandle table = newBlock(FLAC__METADATA_TYPE_SEEKTABLE);
    if (!FLAC__metadata_object_seektable_template_append_spaced_points_by_samples(
            table.get(), SeekPointSpacing, LongestTrackSamples))
        throw ComponentError(QStringLiteral("Out of memory for the FLAC seek table"));
    return table;
}

MetadataHandle paddingBlock()
{
    MetadataHandle padding = newBlock(FLAC__METADATA_TYPE_PADDING);
    padding->length = FlacTagPadding;
    return padding;
}

void appendBigEndian(std::vector<FLAC__byte>& out, FLAC__uint64 value, int bytes)
{
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8)
        out.push_back(static_cast<FLAC__byte>(value >> shift));
}

void appendBlockHeader(std::vector<FLAC__byte>& out, FLAC__MetadataType type, std::size_t length)
{
    out.push_back(static_cast<FLAC__byte>(type)); // never the last block
    appendBigEndian(out, length, 3);
}

bool isFilled(const FLAC__StreamMetadata_SeekPoint& point)
{
    return point.sample_number != FLAC__STREAM_METADATA_SEEKPOINT_PLACEHOLDER &&
           point.frame_samples > 0;
}

/// The seek table with only the points the encoder filled, followed by a padding block over the
/// room the unused points took: the same number of bytes as the template.
std::vector<FLAC__byte> trimmedSeekTable(const FLAC__StreamMetadata_SeekTable& table)
{
    std::vector<FLAC__byte> out;
    const std::size_t templateBytes =
        FLAC__STREAM_METADATA_HEADER_LENGTH +
        std::size_t{table.num_points} * FLAC__STREAM_METADATA_SEEKPOINT_LENGTH;
    out.reserve(templateBytes);
    std::size_t filled = 0;
    for (unsigned i = 0; i < table.num_points; ++i)
        filled += isFilled(table.points[i]) ? 1 : 0;
    appendBlockHeader(out, FLAC__METADATA_TYPE_SEEKTABLE,
                      filled * FLAC__STREAM_METADATA_SEEKPOINT_LENGTH);
    for (unsigned i = 0; i < table.num_points; ++i) {
        const FLAC__StreamMetadata_SeekPoint& point = table.points[i];
        if (!isFilled(point))
            continue;
        appendBigEndian(out, point.sample_number, 8);
        appendBigEndian(out, point.stream_offset, 8);
        appendBigEndian(out, point.frame_samples, 2);
    }
    // Every unused point is 18 bytes, room for a padding block's header and more.
    if (filled < table.num_points) {
        const std::size_t rest = templateBytes - out.size();
        appendBlockHeader(out, FLAC__METADATA_TYPE_PADDING,
                          rest - FLAC__STREAM_METADATA_HEADER_LENGTH);
        out.resize(templateBytes, 0);
    }
    return out;
}

class FlacWriter final : public AudioWriter
{
public:
    FlacWriter(const FlacFormat& format, const QString& path)
        : m_seekTable(seekTableTemplate()),
          m_comments(newBlock(FLAC__METADATA_TYPE_VORBIS_COMMENT)), m_padding(paddingBlock()),
          m_file(path), m_encoder(FLAC__stream_encoder_new())
    {
        if (!m_encoder)
            throw ComponentError(QStringLiteral("Cannot start the FLAC encoder"));
        configure(format);
        if (FLAC__stream_encoder_init_stream(m_encoder.get(), &FlacWriter::writeCallback,
                                             &FlacWriter::seekCallback, &FlacWriter::tellCallback,
                                             nullptr, this) != FLAC__STREAM_ENCODER_INIT_STATUS_OK)
            fail();
    }

    void write(std::span<const std::int16_t> samples) override
    {
        if (meter())
            meter()->add(samples);
        m_wide.assign(samples.begin(), samples.end());
        const auto frames = static_cast<uint32_t>(m_wide.size() / CdAudio::Channels);
        if (frames > 0 &&
            !FLAC__stream_encoder_process_interleaved(m_encoder.get(), m_wide.data(), frames))
            fail();
    }

    void finish() override
    {
        if (!FLAC__stream_encoder_finish(m_encoder.get()))
            fail();
        m_file.throwIfFailed();
        const std::vector<FLAC__byte> table = trimmedSeekTable(m_seekTable->data.seek_table);
        m_file.writeAt(SeekTableOffset, table.data(), table.size());
        m_file.commit();
    }

    void measureReplayGain() override { startMeter(CdAudio::Rate, CdAudio::Channels); }

private:
    void configure(const FlacFormat& format)
    {
        FLAC__StreamEncoder* e = m_encoder.get();
        std::array<FLAC__StreamMetadata*, 3> blocks{m_seekTable.get(), m_comments.get(),
                                                    m_padding.get()};
        const bool ok = FLAC__stream_encoder_set_channels(e, CdAudio::Channels) &&
                        FLAC__stream_encoder_set_bits_per_sample(e, BitsPerSample) &&
                        FLAC__stream_encoder_set_sample_rate(e, CdAudio::Rate) &&
                        FLAC__stream_encoder_set_compression_level(
                            e, static_cast<uint32_t>(format.compression)) &&
                        FLAC__stream_encoder_set_verify(e, format.verify) &&
                        FLAC__stream_encoder_set_metadata(e, blocks.data(), blocks.size());
        if (!ok)
            fail();
    }

    // The write error of the file, when there was one, says more than the encoder's state.
    [[noreturn]] void fail()
    {
        m_file.throwIfFailed();
        throw ComponentError(
            QStringLiteral("The FLAC encoder failed: %1")
                .arg(QString::fromUtf8(
                    FLAC__stream_encoder_get_resolved_state_string(m_encoder.get()))));
    }

    static FLAC__StreamEncoderWriteStatus writeCallback(const FLAC__StreamEncoder*,
                                                        const FLAC__byte buffer[], size_t bytes,
                                                        uint32_t, uint32_t, void* data)
    {
        auto* self = static_cast<FlacWriter*>(data);
        return self->m_file.tryWrite(buffer, bytes) ? FLAC__STREAM_ENCODER_WRITE_STATUS_OK
                                                    : FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
    }

    static FLAC__StreamEncoderSeekStatus seekCallback(const FLAC__StreamEncoder*,
                                                      FLAC__uint64 offset, void* data)
    {
        auto* self = static_cast<FlacWriter*>(data);
        return self->m_file.trySeek(static_cast<std::int64_t>(offset))
                   ? FLAC__STREAM_ENCODER_SEEK_STATUS_OK
                   : FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
    }

    static FLAC__StreamEncoderTellStatus tellCallback(const FLAC__StreamEncoder*,
                                                      FLAC__uint64* offset, void* data)
    {
        *offset = static_cast<FLAC__uint64>(static_cast<FlacWriter*>(data)->m_file.position());
        return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
    }

    // The encoder refers to the metadata blocks until it is finished, so they outlive it.
    MetadataHandle m_seekTable;
    MetadataHandle m_comments;
    MetadataHandle m_padding;
    OutputFile m_file;
    EncoderHandle m_encoder;
    std::vector<FLAC__int32> m_wide;
};

} // namespace

void checkFlacFormat(const FlacFormat& format)
{
    if (format.compression < 0 || format.compression > MaxCompression)
        throw ComponentError(
            QStringLiteral("FLAC has no compression level %1 (0 to 8)").arg(format.compression));
}

std::unique_ptr<AudioWriter> openFlacWriter(const FlacFormat& format, const QString& path)
{
    checkFlacFormat(format);
    return std::make_unique<FlacWriter>(format, path);
}
