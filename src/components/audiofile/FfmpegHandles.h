#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
}

#include <QString>

#include <cstdint>
#include <memory>

// Owning handles for the FFmpeg objects the writers use.
namespace Ffmpeg {

struct CodecContextDeleter
{
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FormatContextDeleter
{
    void operator()(AVFormatContext* c) const { avformat_free_context(c); }
};
struct IoContextDeleter
{
    void operator()(AVIOContext* c) const
    {
        // avio may have replaced the buffer it was given, so free the one it holds now.
        av_freep(&c->buffer);
        avio_context_free(&c);
    }
};
struct FrameDeleter
{
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter
{
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwrDeleter
{
    void operator()(SwrContext* s) const { swr_free(&s); }
};
struct DictionaryDeleter
{
    void operator()(AVDictionary* d) const { av_dict_free(&d); }
};
struct MemoryDeleter
{
    void operator()(void* p) const { av_free(p); }
};

using CodecContext = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FormatContext = std::unique_ptr<AVFormatContext, FormatContextDeleter>;
using IoContext = std::unique_ptr<AVIOContext, IoContextDeleter>;
using Frame = std::unique_ptr<AVFrame, FrameDeleter>;
using Packet = std::unique_ptr<AVPacket, PacketDeleter>;
using Swr = std::unique_ptr<SwrContext, SwrDeleter>;
using Memory = std::unique_ptr<std::uint8_t, MemoryDeleter>;
using Dictionary = std::unique_ptr<AVDictionary, DictionaryDeleter>;

/// FFmpeg's text for an error code.
inline QString errorText(int error)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return QString::fromUtf8(text);
}

} // namespace Ffmpeg
