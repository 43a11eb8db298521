#include "components/audiofile/OpusWriter.h"

#include "base/ComponentError.h"
#include "components/audiofile/FfmpegEncoder.h"
#include "components/audiofile/OggSerial.h"

namespace {

constexpr int OpusRate = 48000;
constexpr int MinKbps = 6;
constexpr int MaxKbps = 510;

} // namespace

void checkOpusFormat(const OpusFormat& format)
{
    if (!avcodec_find_encoder_by_name("libopus"))
        throw ComponentError(QStringLiteral("This FFmpeg has no Opus encoder (libopus)"));
    checkBitrate("Opus", format.bitrate, MinKbps, MaxKbps);
}

std::unique_ptr<AudioWriter> openOpusWriter(const OpusFormat& format, const QString& path)
{
    checkOpusFormat(format);
    // Variable bitrate, tuned for music. The muxer's serial, bit-exact, is the offset alone.
    const std::uint32_t serial = oggStreamSerialFor(path) & 0x7FFFFFFF;
    return openFfmpegWriter({"libopus",
                             "opus",
                             "Opus",
                             OpusRate,
                             CdAudio::Channels,
                             AV_SAMPLE_FMT_FLT,
                             format.bitrate,
                             true,
                             {{"vbr", "on"}, {"application", "audio"}},
                             {{"serial_offset", std::to_string(serial == 0 ? 1 : serial)}}},
                            path);
}
