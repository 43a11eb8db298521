#include "components/audiofile/VorbisWriter.h"

#include "base/ComponentError.h"
#include "components/audiofile/OggSerial.h"
#include "components/audiofile/OutputFile.h"
#include "components/audiofile/PcmConverter.h"

#include <vector>

#include <vorbis/vorbisenc.h>

#include <cstring>

namespace {

// The libvorbis and libogg states, each cleared by its owner; declared in the order they are
// set up, so they are torn down in reverse.
struct VorbisInfo
{
    VorbisInfo() { vorbis_info_init(&info); }
    ~VorbisInfo() { vorbis_info_clear(&info); }
    VorbisInfo(const VorbisInfo&) = delete;
    VorbisInfo& operator=(const VorbisInfo&) = delete;
    vorbis_info info;
};

struct VorbisComment
{
    VorbisComment() { vorbis_comment_init(&comment); }
    ~VorbisComment() { vorbis_comment_clear(&comment); }
    VorbisComment(const VorbisComment&) = delete;
    VorbisComment& operator=(const VorbisComment&) = delete;
    vorbis_comment comment;
};

struct VorbisDsp
{
    explicit VorbisDsp(vorbis_info* info)
    {
        if (vorbis_analysis_init(&dsp, info) != 0)
            throw ComponentError(QStringLiteral("Cannot start the Ogg Vorbis encoder"));
    }
    ~VorbisDsp() { vorbis_dsp_clear(&dsp); }
    VorbisDsp(const VorbisDsp&) = delete;
    VorbisDsp& operator=(const VorbisDsp&) = delete;
    vorbis_dsp_state dsp;
};

struct VorbisBlock
{
    explicit VorbisBlock(vorbis_dsp_state* dsp) { vorbis_block_init(dsp, &block); }
    ~VorbisBlock() { vorbis_block_clear(&block); }
    VorbisBlock(const VorbisBlock&) = delete;
    VorbisBlock& operator=(const VorbisBlock&) = delete;
    vorbis_block block;
};

struct OggStream
{
    explicit OggStream(int serial) { ogg_stream_init(&stream, serial); }
    ~OggStream() { ogg_stream_clear(&stream); }
    OggStream(const OggStream&) = delete;
    OggStream& operator=(const OggStream&) = delete;
    ogg_stream_state stream;
};

long bps(int kbps)
{
    return kbps > 0 ? kbps * 1000L : -1;
}

int setUp(vorbis_info* info, const VorbisFormat& f)
{
    if (f.quality >= 0)
        return f.quality <= 1000 ? vorbis_encode_setup_vbr(info, f.channels, f.sampleRate,
                                                           static_cast<float>(f.quality) / 1000)
                                 : OV_EINVAL;
    if (f.minBitrate > 0 || f.maxBitrate > 0)
        return vorbis_encode_setup_managed(info, f.channels, f.sampleRate, bps(f.maxBitrate),
                                           bps(f.bitrate), bps(f.minBitrate));
    if (f.bitrate <= 0)
        return OV_EINVAL;
    int result =
        vorbis_encode_setup_managed(info, f.channels, f.sampleRate, -1, bps(f.bitrate), -1);
    // An average without bounds needs no bitrate management, which would only slow encoding.
    if (result == 0)
        result = vorbis_encode_ctl(info, OV_ECTL_RATEMANAGE2_SET, nullptr);
    return result;
}

// Values far outside what any Vorbis file has are refused before libvorbisenc and the resampler
// compute with them.
constexpr int MaxSampleRate = 192000;
constexpr int MaxKbps = 10000;

bool plausible(const VorbisFormat& f)
{
    const auto kbpsOk = [](int kbps) { return kbps <= MaxKbps; };
    return (f.channels == 1 || f.channels == 2) && f.sampleRate > 0 &&
           f.sampleRate <= MaxSampleRate && kbpsOk(f.bitrate) && kbpsOk(f.minBitrate) &&
           kbpsOk(f.maxBitrate);
}

/// Sets the encoder up for the format; throws ComponentError when libvorbisenc refuses it.
vorbis_info* configured(VorbisInfo& info, const VorbisFormat& f)
{
    int result = plausible(f) ? setUp(&info.info, f) : OV_EINVAL;
    if (result == 0)
        result = vorbis_encode_setup_init(&info.info);
    if (result != 0)
        throw ComponentError(
            QStringLiteral("Ogg Vorbis cannot encode %1 Hz, %2 channels with bitrate %3 kbps "
                           "(minimum %4, maximum %5) or quality %6")
                .arg(f.sampleRate)
                .arg(f.channels)
                .arg(f.bitrate)
                .arg(f.minBitrate)
                .arg(f.maxBitrate)
                .arg(f.quality));
    return &info.info;
}

class VorbisWriter final : public AudioWriter
{
public:
    VorbisWriter(const VorbisFormat& format, const QString& path)
        : m_dsp(configured(m_info, format)), m_block(&m_dsp.dsp),
          m_stream(static_cast<int>(oggStreamSerialFor(path))),
          m_converter(format.sampleRate, format.channels, AV_SAMPLE_FMT_FLTP), m_file(path)
    {
        m_staged.reserve(StagedSamples);
        writeHeaders();
    }

    // The encoder's block decisions depend on how much audio each call hands it, so the audio is
    // handed over in pieces of one fixed size whatever the caller's pieces: the same track gives
    // the same bytes whether it comes straight from the disc or from a spool file.
    void write(std::span<const std::int16_t> samples) override
    {
        while (!samples.empty()) {
            const std::size_t room = StagedSamples - m_staged.size();
            const std::size_t take = std::min(room, samples.size());
            m_staged.insert(m_staged.end(), samples.begin(), samples.begin() + take);
            samples = samples.subspan(take);
            if (m_staged.size() == StagedSamples)
                encodeStaged();
        }
    }

    void finish() override
    {
        encodeStaged();
        for (auto rest = m_converter.drain(); rest.frames > 0; rest = m_converter.drain()) {
            float** buffer = vorbis_analysis_buffer(&m_dsp.dsp, rest.frames);
            for (int ch = 0; ch < m_info.info.channels; ++ch)
                std::memcpy(buffer[ch], rest.planes[ch],
                            static_cast<std::size_t>(rest.frames) * sizeof(float));
            submit(rest.frames);
        }
        vorbis_analysis_wrote(&m_dsp.dsp, 0); // end of stream
        encodeBlocks();
        writePages(true);
        m_file.commit();
    }

    void measureReplayGain() override
    {
        m_converter.setMeter(&startMeter(static_cast<int>(m_info.info.rate), m_info.info.channels));
    }

private:
    static constexpr std::size_t StagedSamples = 4096 * 2; // stereo frames of CD audio

    void encodeStaged()
    {
        if (m_staged.empty())
            return;
        const std::span<const std::int16_t> samples(m_staged);
        const int capacity = m_converter.maxFramesFor(static_cast<int>(samples.size() / 2));
        // libswresample writes straight into the encoder's own buffer.
        float** buffer = vorbis_analysis_buffer(&m_dsp.dsp, capacity);
        const int frames = m_converter.convertInto(
            samples, reinterpret_cast<std::uint8_t* const*>(buffer), capacity);
        m_staged.clear();
        submit(frames);
    }

    void writeHeaders()
    {
        ogg_packet id, comments, codebooks;
        vorbis_analysis_headerout(&m_dsp.dsp, &m_comment.comment, &id, &comments, &codebooks);
        ogg_stream_packetin(&m_stream.stream, &id);
        ogg_stream_packetin(&m_stream.stream, &comments);
        ogg_stream_packetin(&m_stream.stream, &codebooks);
        writePages(true); // audio must begin on a page of its own
    }

    void submit(int frames)
    {
        if (frames == 0)
            return; // zero would mark the end of the stream
        vorbis_analysis_wrote(&m_dsp.dsp, frames);
        encodeBlocks();
    }

    void encodeBlocks()
    {
        ogg_packet packet;
        while (vorbis_analysis_blockout(&m_dsp.dsp, &m_block.block) == 1) {
            vorbis_analysis(&m_block.block, nullptr);
            vorbis_bitrate_addblock(&m_block.block);
            while (vorbis_bitrate_flushpacket(&m_dsp.dsp, &packet) == 1) {
                ogg_stream_packetin(&m_stream.stream, &packet);
                writePages(false);
            }
        }
    }

    void writePages(bool flush)
    {
        ogg_page page;
        while ((flush ? ogg_stream_flush(&m_stream.stream, &page)
                      : ogg_stream_pageout(&m_stream.stream, &page)) != 0) {
            m_file.write(page.header, static_cast<std::size_t>(page.header_len));
            m_file.write(page.body, static_cast<std::size_t>(page.body_len));
        }
    }

    VorbisInfo m_info;
    VorbisComment m_comment;
    VorbisDsp m_dsp;
    VorbisBlock m_block;
    OggStream m_stream;
    PcmConverter m_converter;
    OutputFile m_file;
    std::vector<std::int16_t> m_staged;
};

} // namespace

void checkVorbisFormat(const VorbisFormat& format)
{
    VorbisInfo info;
    configured(info, format);
}

std::unique_ptr<AudioWriter> openVorbisWriter(const VorbisFormat& format, const QString& path)
{
    return std::make_unique<VorbisWriter>(format, path);
}
