#include "components/audiofile/FfmpegEncoder.h"

#include "base/ComponentError.h"
#include "components/audiofile/OutputFile.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <cerrno>

namespace {

constexpr int IoBufferSize = 1 << 16;

// Bridge FFmpeg's output to ours. They run inside FFmpeg, so they report failure as an error
// code; the encoder turns it into an exception afterwards.
int writePacket(void* opaque, std::uint8_t* data, int size)
{
    auto* output = static_cast<SeekableOutput*>(opaque);
    return output->tryWrite(data, static_cast<std::size_t>(size)) ? size : AVERROR(EIO);
}

std::int64_t seekOutput(void* opaque, std::int64_t offset, int whence)
{
    auto* output = static_cast<SeekableOutput*>(opaque);
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return output->size();
    case SEEK_SET:
        break;
    case SEEK_CUR:
        offset += output->position();
        break;
    case SEEK_END:
        offset += output->size();
        break;
    default:
        return AVERROR(EINVAL);
    }
    return output->trySeek(offset) ? offset : AVERROR(EIO);
}

Ffmpeg::Dictionary dictionaryOf(const FfmpegTarget::Options& options)
{
    AVDictionary* d = nullptr;
    for (const auto& [name, value] : options)
        av_dict_set(&d, name.c_str(), value.c_str(), 0);
    return Ffmpeg::Dictionary(d);
}

// Hands options to an FFmpeg call that takes the dictionary and leaves in it the options it did
// not know.
template <typename Call> int withOptions(const FfmpegTarget::Options& options, Call call)
{
    Ffmpeg::Dictionary dictionary = dictionaryOf(options);
    AVDictionary* unused = dictionary.release();
    const int result = call(&unused);
    dictionary.reset(unused);
    return result;
}

// FFmpeg reports to the terminal by itself (an encoder's statistics, a muxer's advice); the
// program decides what reaches the user, and every failure comes back as an error code.
void silenceFfmpeg()
{
    static const bool silenced = [] {
        av_log_set_level(AV_LOG_QUIET);
        return true;
    }();
    (void)silenced;
}

} // namespace

FfmpegEncoder::FfmpegEncoder(const FfmpegTarget& target, SeekableOutput& output,
                             const QString& path)
    : m_target(target), m_output(output), m_path(path)
{
    silenceFfmpeg();
    openEncoder();
    openMuxer();
    allocateFrame();
}

FfmpegEncoder::~FfmpegEncoder() = default;

int FfmpegEncoder::delay() const
{
    return m_codec->initial_padding;
}

void FfmpegEncoder::openEncoder()
{
    const AVCodec* codec = avcodec_find_encoder_by_name(m_target.encoder);
    if (!codec)
        throw ComponentError(
            QStringLiteral("This FFmpeg has no %1 encoder (%2)")
                .arg(QLatin1String(m_target.kind), QLatin1String(m_target.encoder)));
    m_codec.reset(avcodec_alloc_context3(codec));
    if (!m_codec)
        throw std::bad_alloc();
    m_codec->sample_fmt = m_target.sampleFormat;
    m_codec->sample_rate = m_target.sampleRate;
    av_channel_layout_default(&m_codec->ch_layout, m_target.channels);
    m_codec->bit_rate = m_target.kbps * 1000LL;
    m_codec->time_base = {1, m_target.sampleRate};
    if (m_target.bitExact)
        m_codec->flags |= AV_CODEC_FLAG_BITEXACT;
    // The containers used here keep the codec's set-up data in their stream header.
    m_codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    check(withOptions(
              m_target.encoderOptions,
              [&](AVDictionary** options) { return avcodec_open2(m_codec.get(), codec, options); }),
          "start the encoder for");
    m_packet.reset(av_packet_alloc());
    if (!m_packet)
        throw std::bad_alloc();
}

void FfmpegEncoder::openMuxer()
{
    Ffmpeg::Memory buffer(static_cast<std::uint8_t*>(av_malloc(IoBufferSize)));
    if (!buffer)
        throw std::bad_alloc();
    m_io.reset(avio_alloc_context(buffer.get(), IoBufferSize, 1, &m_output, nullptr, &writePacket,
                                  &seekOutput));
    if (!m_io)
        throw std::bad_alloc();
    buffer.release(); // now the I/O context's

    AVFormatContext* format = nullptr;
    check(avformat_alloc_output_context2(&format, nullptr, m_target.muxer, nullptr),
          "start the muxer for");
    m_format.reset(format);
    m_format->pb = m_io.get();
    m_format->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (m_target.bitExact)
        m_format->flags |= AVFMT_FLAG_BITEXACT;

    AVStream* stream = avformat_new_stream(m_format.get(), nullptr);
    if (!stream)
        throw std::bad_alloc();
    check(avcodec_parameters_from_context(stream->codecpar, m_codec.get()), "describe");
    stream->time_base = m_codec->time_base;
    check(withOptions(m_target.muxerOptions,
                      [&](AVDictionary** options) {
                          return avformat_write_header(m_format.get(), options);
                      }),
          "write the header of");
}

void FfmpegEncoder::allocateFrame()
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

void FfmpegEncoder::append(const PcmConverter::Converted& audio)
{
    const int frameSize = m_codec->frame_size;
    const int channels = m_codec->ch_layout.nb_channels;
    for (int done = 0; done < audio.frames;) {
        if (m_filled == 0)
            check(av_frame_make_writable(m_frame.get()), "prepare");
        const int count = std::min(frameSize - m_filled, audio.frames - done);
        check(av_samples_copy(m_frame->data, const_cast<std::uint8_t* const*>(audio.planes),
                              m_filled, done, count, channels, m_codec->sample_fmt),
              "prepare");
        m_filled += count;
        done += count;
        if (m_filled == frameSize)
            sendFrame();
    }
    m_audioFrames += audio.frames;
}

void FfmpegEncoder::finishFrom(PcmConverter& converter)
{
    for (auto rest = converter.drain(); rest.frames > 0; rest = converter.drain())
        append(rest);
    finish();
}

void FfmpegEncoder::finish()
{
    if (m_filled > 0)
        sendFrame(); // the encoder pads the short last frame with silence
    check(avcodec_send_frame(m_codec.get(), nullptr), "finish encoding");
    receivePackets();
    check(av_write_trailer(m_format.get()), "complete");
    avio_flush(m_io.get());
    m_output.throwIfFailed();
}

void FfmpegEncoder::sendFrame()
{
    m_frame->nb_samples = m_filled;
    m_frame->pts = m_nextPts;
    m_nextPts += m_filled;
    m_filled = 0;
    check(avcodec_send_frame(m_codec.get(), m_frame.get()), "encode");
    receivePackets();
}

void FfmpegEncoder::receivePackets()
{
    for (;;) {
        const int result = avcodec_receive_packet(m_codec.get(), m_packet.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return;
        check(result, "encode");
        m_encodedFrames += m_codec->frame_size;
        AVStream* stream = m_format->streams[0];
        av_packet_rescale_ts(m_packet.get(), m_codec->time_base, stream->time_base);
        m_packet->stream_index = stream->index;
        const int written = av_write_frame(m_format.get(), m_packet.get());
        av_packet_unref(m_packet.get());
        check(written, "write");
    }
}

void FfmpegEncoder::check(int result, const char* what)
{
    m_output.throwIfFailed(); // a failed write names the system's reason
    if (result < 0)
        throw ComponentError(QStringLiteral("Cannot %1 the %2 file %3: %4")
                                 .arg(QLatin1String(what), QLatin1String(m_target.kind), m_path,
                                      Ffmpeg::errorText(result)));
}

void checkBitrate(const char* kind, int kbps, int min, int max)
{
    if (kbps < min || kbps > max)
        throw ComponentError(QStringLiteral("%1 cannot encode at %2 kbps (%3 to %4)")
                                 .arg(QLatin1String(kind))
                                 .arg(kbps)
                                 .arg(min)
                                 .arg(max));
}

namespace {

class FfmpegWriter final : public AudioWriter
{
public:
    FfmpegWriter(const FfmpegTarget& target, const QString& path)
        : m_target(target), m_converter(target.sampleRate, target.channels, target.sampleFormat),
          m_file(path), m_encoder(target, m_file, path)
    {
    }

    void write(std::span<const std::int16_t> samples) override
    {
        m_encoder.append(m_converter.convert(samples));
    }

    void finish() override
    {
        m_encoder.finishFrom(m_converter);
        m_file.commit();
    }

    void measureReplayGain() override
    {
        m_converter.setMeter(&startMeter(m_target.sampleRate, m_target.channels));
    }

private:
    FfmpegTarget m_target;
    PcmConverter m_converter;
    OutputFile m_file;
    FfmpegEncoder m_encoder; // torn down before the file it writes
};

} // namespace

std::unique_ptr<AudioWriter> openFfmpegWriter(const FfmpegTarget& target, const QString& path)
{
    return std::make_unique<FfmpegWriter>(target, path);
}
