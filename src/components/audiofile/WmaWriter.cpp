#include "components/audiofile/WmaWriter.h"

#include "base/ComponentError.h"
#include "components/audiofile/FfmpegHandles.h"
#include "components/audiofile/OutputFile.h"
#include "components/audiofile/PcmConverter.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr int IoBufferSize = 1 << 16;

// Bridges FFmpeg's output to our exclusively created file. These run inside FFmpeg, so they
// report failure as an error code; the writer turns it into an exception afterwards.
int writePacket(void* opaque, std::uint8_t* data, int size)
{
    auto* file = static_cast<OutputFile*>(opaque);
    return file->tryWrite(data, static_cast<std::size_t>(size)) ? size : AVERROR(EIO);
}

std::int64_t seekFile(void* opaque, std::int64_t offset, int whence)
{
    auto* file = static_cast<OutputFile*>(opaque);
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return file->size();
    case SEEK_SET:
        break;
    case SEEK_CUR:
        offset += file->position();
        break;
    case SEEK_END:
        offset += file->size();
        break;
    default:
        return AVERROR(EINVAL);
    }
    return file->trySeek(offset) ? offset : AVERROR(EIO);
}

class WmaWriter final : public AudioWriter
{
public:
    WmaWriter(const WmaFormats::Format& format, const QString& path)
        : m_converter(format.sampleRate, format.channels, AV_SAMPLE_FMT_FLTP), m_file(path)
    {
        openEncoder(format);
        openMuxer();
        allocateFrame();
    }

    void write(std::span<const std::int16_t> samples) override
    {
        append(m_converter.convert(samples));
    }

    void finish() override
    {
        for (auto rest = m_converter.drain(); rest.frames > 0; rest = m_converter.drain())
            append(rest);
        if (m_filled > 0)
            sendFrame(); // FFmpeg pads the short last frame with silence
        check(avcodec_send_frame(m_codec.get(), nullptr), "finish encoding");
        receivePackets();
        check(av_write_trailer(m_format.get()), "complete");
        m_file.commit();
    }

private:
    void openEncoder(const WmaFormats::Format& format)
    {
        const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
        if (!codec)
            throw ComponentError(QStringLiteral("This FFmpeg has no WMA encoder"));
        m_codec.reset(avcodec_alloc_context3(codec));
        if (!m_codec)
            throw std::bad_alloc();
        m_codec->sample_fmt = AV_SAMPLE_FMT_FLTP;
        m_codec->sample_rate = format.sampleRate;
        av_channel_layout_default(&m_codec->ch_layout, format.channels);
        m_codec->bit_rate = format.encodedKbps * 1000LL;
        m_codec->time_base = {1, format.sampleRate};
        // The ASF muxer wants the codec's extra data in the stream header.
        m_codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        check(avcodec_open2(m_codec.get(), codec, nullptr), "start the WMA encoder for");
        m_packet.reset(av_packet_alloc());
        if (!m_packet)
            throw std::bad_alloc();
    }

    void openMuxer()
    {
        Ffmpeg::Memory buffer(static_cast<std::uint8_t*>(av_malloc(IoBufferSize)));
        if (!buffer)
            throw std::bad_alloc();
        m_io.reset(avio_alloc_context(buffer.get(), IoBufferSize, 1, &m_file, nullptr, &writePacket,
                                      &seekFile));
        if (!m_io)
            throw std::bad_alloc();
        buffer.release(); // now the I/O context's

        AVFormatContext* format = nullptr;
        check(avformat_alloc_output_context2(&format, nullptr, "asf", nullptr),
              "start the ASF muxer for");
        m_format.reset(format);
        m_format->pb = m_io.get();
        m_format->flags |= AVFMT_FLAG_CUSTOM_IO;

        AVStream* stream = avformat_new_stream(m_format.get(), nullptr);
        if (!stream)
            throw std::bad_alloc();
        check(avcodec_parameters_from_context(stream->codecpar, m_codec.get()), "describe");
        stream->time_base = m_codec->time_base;
        check(avformat_write_header(m_format.get(), nullptr), "write the header of");
    }

    void allocateFrame()
    {
        m_frame.reset(av_frame_alloc());
        if (!m_frame)
            throw std::bad_alloc();
        m_frame->format = m_codec->sample_fmt;
        m_frame->sample_rate = m_codec->sample_rate;
        m_frame->nb_samples = m_codec->frame_size;
        check(av_channel_layout_copy(&m_frame->ch_layout, &m_codec->ch_layout), "prepare");
        check(av_frame_get_buffer(m_frame.get(), 0), "prepare");
    }

    // Fills the encoder's fixed-size frames from converted audio of any length.
    void append(const PcmConverter::Converted& audio)
    {
        const int frameSize = m_codec->frame_size;
        const int channels = m_codec->ch_layout.nb_channels;
        for (int done = 0; done < audio.frames;) {
            if (m_filled == 0)
                check(av_frame_make_writable(m_frame.get()), "prepare");
            const int count = std::min(frameSize - m_filled, audio.frames - done);
            for (int ch = 0; ch < channels; ++ch)
                std::memcpy(m_frame->data[ch] + m_filled * sizeof(float),
                            audio.planes[ch] + done * sizeof(float),
                            static_cast<std::size_t>(count) * sizeof(float));
            m_filled += count;
            done += count;
            if (m_filled == frameSize)
                sendFrame();
        }
    }

    void sendFrame()
    {
        m_frame->nb_samples = m_filled;
        m_frame->pts = m_nextPts;
        m_nextPts += m_filled;
        m_filled = 0;
        check(avcodec_send_frame(m_codec.get(), m_frame.get()), "encode");
        receivePackets();
    }

    void receivePackets()
    {
        for (;;) {
            const int result = avcodec_receive_packet(m_codec.get(), m_packet.get());
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
                return;
            check(result, "encode");
            AVStream* stream = m_format->streams[0];
            av_packet_rescale_ts(m_packet.get(), m_codec->time_base, stream->time_base);
            m_packet->stream_index = stream->index;
            const int written = av_write_frame(m_format.get(), m_packet.get());
            av_packet_unref(m_packet.get());
            check(written, "write");
        }
    }

    void check(int result, const char* what)
    {
        m_file.throwIfFailed(); // a failed write names the system's reason
        if (result < 0)
            throw ComponentError(
                QStringLiteral("Cannot %1 the WMA file %2: %3")
                    .arg(QLatin1String(what), m_file.path(), Ffmpeg::errorText(result)));
    }

    PcmConverter m_converter;
    OutputFile m_file;
    // Torn down in reverse: the muxer before its I/O context, that before the file.
    Ffmpeg::IoContext m_io;
    Ffmpeg::FormatContext m_format;
    Ffmpeg::CodecContext m_codec;
    Ffmpeg::Frame m_frame;
    Ffmpeg::Packet m_packet;
    int m_filled = 0;
    std::int64_t m_nextPts = 0;
};

} // namespace

void checkWmaFormat(const WmaFormats::Format& format)
{
    if (format.kind == WmaFormats::Kind::Lossless)
        throw ComponentError(
            QStringLiteral("WMA format %1 (\"%2\") cannot be produced: there is no lossless WMA "
                           "encoder")
                .arg(format.number)
                .arg(QLatin1String(format.text)));
}

std::unique_ptr<AudioWriter> openWmaWriter(const WmaFormats::Format& format, const QString& path)
{
    checkWmaFormat(format);
    return std::make_unique<WmaWriter>(format, path);
}
