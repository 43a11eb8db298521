#include "components/audiofile/Mp3Writer.h"

#include "base/ComponentError.h"
#include "components/audiofile/LamePresets.h"
#include "components/audiofile/OutputFile.h"
#include "components/audiofile/PcmConverter.h"

#include <lame/lame.h>

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

static_assert(LamePresets::R3mix == R3MIX && LamePresets::Standard == STANDARD &&
              LamePresets::Extreme == EXTREME && LamePresets::Insane == INSANE &&
              LamePresets::StandardFast == STANDARD_FAST &&
              LamePresets::ExtremeFast == EXTREME_FAST && LamePresets::Medium == MEDIUM &&
              LamePresets::MediumFast == MEDIUM_FAST);

struct LameDeleter
{
    void operator()(lame_global_flags* flags) const { lame_close(flags); }
};
using Lame = std::unique_ptr<lame_global_flags, LameDeleter>;

// Frames handed to LAME per call, which bounds the output buffer.
constexpr int ChunkFrames = 1 << 15;
// LAME's rule for a sufficient output buffer, and its largest frame for the LAME tag.
constexpr std::size_t outputBufferSize(int frames)
{
    return static_cast<std::size_t>(frames) * 5 / 4 + 7200;
}

void setMode(lame_t lame, int mode)
{
    switch (mode) {
    case 0:
        lame_set_mode(lame, MONO);
        break;
    case 1:
        lame_set_mode(lame, STEREO);
        break;
    case 2:
        lame_set_mode(lame, JOINT_STEREO);
        break;
    case 3:
        lame_set_mode(lame, JOINT_STEREO);
        lame_set_force_ms(lame, 1);
        break;
    default:
        lame_set_mode(lame, DUAL_CHANNEL);
        break;
    }
}

void applyPreset(lame_t lame, const LamePresets::Preset& preset)
{
    lame_set_preset(lame, preset.lameId);
    if (preset.mono)
        lame_set_mode(lame, MONO);
}

void applyPresets(lame_t lame, const LameSettings& s)
{
    if (s.preset)
        applyPreset(lame, LamePresets::Basic[static_cast<std::size_t>(*s.preset - 1)]);
    if (s.altPreset)
        applyPreset(lame, LamePresets::Alternative[static_cast<std::size_t>(*s.altPreset - 1)]);
}

void applyBitrates(lame_t lame, const LameSettings& s)
{
    const int method = s.vbrMethod.value_or(-1);
    if (method < 0) {
        lame_set_VBR(lame, vbr_off);
        if (s.bitrate)
            lame_set_brate(lame, *s.bitrate);
        return;
    }
    lame_set_VBR(lame, method == 1 ? vbr_rh : method == 0 ? vbr_default : vbr_mtrh);
    if (s.vbrQuality)
        lame_set_VBR_quality(lame, static_cast<float>(*s.vbrQuality));
    const int minimum = s.bitrate.value_or(0);
    if (minimum > 0)
        lame_set_VBR_min_bitrate_kbps(lame, minimum);
    if (s.vbrBitrate)
        lame_set_VBR_max_bitrate_kbps(lame, std::max(*s.vbrBitrate, minimum));
    if (s.enforceMinBitrate)
        lame_set_VBR_hard_min(lame, *s.enforceMinBitrate);
}

void applyFilters(lame_t lame, const LameSettings& s)
{
    // -1 is "no filter of the user's": LAME then keeps its automatic choice (0).
    if (s.lowpassFrequency && *s.lowpassFrequency > 0) {
        lame_set_lowpassfreq(lame, *s.lowpassFrequency);
        if (s.lowpassWidth)
            lame_set_lowpasswidth(lame, *s.lowpassWidth);
    }
    if (s.highpassFrequency && *s.highpassFrequency > 0) {
        lame_set_highpassfreq(lame, *s.highpassFrequency);
        if (s.highpassWidth)
            lame_set_highpasswidth(lame, *s.highpassWidth);
    }
}

void applyAth(lame_t lame, int control)
{
    lame_set_ATHonly(lame, control == 1);
    lame_set_noATH(lame, control == 2);
    lame_set_ATHshort(lame, control == 3);
}

void applyIndividual(lame_t lame, const LameSettings& s)
{
    applyBitrates(lame, s);
    applyFilters(lame, s);
    if (s.channelMode)
        setMode(lame, *s.channelMode);
    if (s.quality)
        lame_set_quality(lame, *s.quality);
    if (s.writeVbrHeader)
        lame_set_bWriteVbrTag(lame, *s.writeVbrHeader);
    if (s.bitReservoir)
        lame_set_disable_reservoir(lame, !*s.bitReservoir);
    if (s.allowDiffBlockTypes)
        lame_set_allow_diff_short(lame, *s.allowDiffBlockTypes);
    if (s.shortBlocks)
        lame_set_no_short_blocks(lame, !*s.shortBlocks);
    if (s.deEmphasis) // the MPEG header codes CCITT J.17 as 3
        lame_set_emphasis(lame, *s.deEmphasis == 2 ? 3 : *s.deEmphasis);
    if (s.strictIso)
        lame_set_strict_ISO(lame, *s.strictIso);
    if (s.athControl)
        applyAth(lame, *s.athControl);
    if (s.crcProtection)
        lame_set_error_protection(lame, *s.crcProtection);
    if (s.sampleRate)
        lame_set_out_samplerate(lame, *s.sampleRate);
}

void applyOption(lame_t lame, const LameOption& option)
{
    const int value = static_cast<int>(option.value);
    switch (option.kind) {
    case LameOption::Kind::Bitrate:
        lame_set_brate(lame, value);
        lame_set_VBR_min_bitrate_kbps(lame, value);
        break;
    case LameOption::Kind::MaxBitrate:
        lame_set_VBR_max_bitrate_kbps(lame, value);
        break;
    case LameOption::Kind::VbrQuality:
        if (lame_get_VBR(lame) == vbr_off)
            lame_set_VBR(lame, vbr_default);
        lame_set_VBR_quality(lame, static_cast<float>(option.value));
        break;
    case LameOption::Kind::Quality:
        lame_set_quality(lame, value);
        break;
    case LameOption::Kind::Mode:
        setMode(lame, value);
        break;
    case LameOption::Kind::Preset:
        lame_set_preset(lame, value);
        break;
    case LameOption::Kind::MonoPreset:
        applyPreset(lame, {"", value, true});
        break;
    case LameOption::Kind::Abr:
        lame_set_VBR(lame, vbr_abr);
        lame_set_VBR_mean_bitrate_kbps(lame, value);
        break;
    case LameOption::Kind::VbrNew:
        lame_set_VBR(lame, vbr_mtrh);
        break;
    case LameOption::Kind::VbrOld:
        lame_set_VBR(lame, vbr_rh);
        break;
    case LameOption::Kind::Cbr:
        lame_set_VBR(lame, vbr_off);
        break;
    case LameOption::Kind::Lowpass:
        lame_set_lowpassfreq(lame, value);
        break;
    case LameOption::Kind::Highpass:
        lame_set_highpassfreq(lame, value);
        break;
    case LameOption::Kind::Resample:
        lame_set_out_samplerate(lame, value);
        break;
    case LameOption::Kind::Crc:
        lame_set_error_protection(lame, 1);
        break;
    case LameOption::Kind::StrictIso:
        lame_set_strict_ISO(lame, 1);
        break;
    case LameOption::Kind::EnforceMinimum:
        lame_set_VBR_hard_min(lame, 1);
        break;
    case LameOption::Kind::NoVbrHeader:
        lame_set_bWriteVbrTag(lame, 0);
        break;
    case LameOption::Kind::NoReservoir:
        lame_set_disable_reservoir(lame, 1);
        break;
    }
}

// LAME prints its notes, debug output and errors to the terminal unless given report functions.
// Those have no user pointer: errors go to the collector of the thread's current LAME call, set
// by a LameErrors while that call runs; notes and debug output are dropped, as the program alone
// decides what reaches the terminal.
thread_local QString* t_lameErrors = nullptr;

void dropLameReport(const char*, va_list) {}

void keepLameError(const char* format, va_list arguments)
{
    if (!t_lameErrors)
        return;
    std::array<char, 512> text{};
    std::vsnprintf(text.data(), text.size(), format, arguments);
    const QString line = QString::fromLocal8Bit(text.data()).trimmed();
    if (line.isEmpty())
        return;
    if (!t_lameErrors->isEmpty())
        t_lameErrors->append(u' ');
    t_lameErrors->append(line);
}

void silence(lame_t lame)
{
    lame_set_msgf(lame, &dropLameReport);
    lame_set_debugf(lame, &dropLameReport);
    lame_set_errorf(lame, &keepLameError);
}

/// Collects LAME's error reports of this thread while it lives.
class LameErrors final
{
public:
    LameErrors() : m_outer(t_lameErrors) { t_lameErrors = &m_text; }
    ~LameErrors() { t_lameErrors = m_outer; }
    Q_DISABLE_COPY_MOVE(LameErrors)

    /// ": <what LAME reported>", or nothing when it reported nothing.
    QString suffix() const { return m_text.isEmpty() ? QString() : QStringLiteral(": ") + m_text; }

private:
    QString m_text;
    QString* m_outer;
};

/// A LAME encoder for CD audio with the settings, ready to encode.
Lame configuredLame(const LameSettings& settings)
{
    Lame lame(lame_init());
    if (!lame)
        throw ComponentError(QStringLiteral("Cannot start the MP3 encoder"));
    silence(lame.get());
    const LameErrors errors;
    lame_set_in_samplerate(lame.get(), CdAudio::Rate);
    lame_set_num_channels(lame.get(), CdAudio::Channels);
    lame_set_write_id3tag_automatic(lame.get(), 0); // the tag writer adds the ID3 tag
    if (settings.presetMode)
        applyPresets(lame.get(), settings);
    else
        applyIndividual(lame.get(), settings);
    for (const LameOption& option : settings.commandLine)
        applyOption(lame.get(), option);
    if (lame_init_params(lame.get()) < 0)
        throw ComponentError(QStringLiteral("The MP3 encoder does not accept these settings") +
                             errors.suffix());
    return lame;
}

class Mp3Writer final : public AudioWriter
{
public:
    Mp3Writer(const LameSettings& settings, const QString& path)
        : m_lame(configuredLame(settings)), m_file(path)
    {
    }

    void write(std::span<const std::int16_t> samples) override
    {
        measure(samples);
        while (!samples.empty()) {
            const int frames = std::min(static_cast<int>(samples.size() / 2), ChunkFrames);
            reserve(frames);
            // LAME only reads the samples; its API just lacks the const.
            const LameErrors errors;
            const int bytes = lame_encode_buffer_interleaved(
                m_lame.get(), const_cast<short*>(samples.data()), frames, m_buffer.data(),
                static_cast<int>(m_buffer.size()));
            writeEncoded(bytes, errors);
            samples = samples.subspan(static_cast<std::size_t>(frames) * 2);
            m_wroteAudio = true;
        }
    }

    void finish() override
    {
        // LAME makes too few frames of nothing for readers to recognise the stream, so a grab
        // stopped before its first sector still gets one (silent) sample.
        if (!m_wroteAudio)
            write(std::array<std::int16_t, 2>{});
        if (m_meterInput)
            while (m_meterInput->drain().frames > 0) {
            }
        reserve(0);
        const LameErrors errors;
        writeEncoded(
            lame_encode_flush(m_lame.get(), m_buffer.data(), static_cast<int>(m_buffer.size())),
            errors);
        writeLameTag();
        m_file.commit();
    }

    // LAME resamples and mixes down by itself, so the meter gets the same conversion of its own
    // when the settings call for one.
    void measureReplayGain() override
    {
        const int rate = lame_get_out_samplerate(m_lame.get());
        const int channels = lame_get_mode(m_lame.get()) == MONO ? 1 : CdAudio::Channels;
        ReplayGainMeter& meter = startMeter(rate, channels);
        if (rate != CdAudio::Rate || channels != CdAudio::Channels) {
            m_meterInput.emplace(rate, channels, AV_SAMPLE_FMT_FLTP);
            m_meterInput->setMeter(&meter);
        }
    }

private:
    void measure(std::span<const std::int16_t> samples)
    {
        if (m_meterInput)
            m_meterInput->convert(samples);
        else if (meter())
            meter()->add(samples);
    }

    void reserve(int frames)
    {
        const std::size_t size = outputBufferSize(frames);
        if (m_buffer.size() < size)
            m_buffer.resize(size);
    }

    void writeEncoded(int bytes, const LameErrors& errors)
    {
        if (bytes < 0)
            throw ComponentError(QStringLiteral("The MP3 encoder failed (error %1) on %2")
                                     .arg(bytes)
                                     .arg(m_file.path()) +
                                 errors.suffix());
        m_file.write(m_buffer.data(), static_cast<std::size_t>(bytes));
    }

    // LAME left room for this frame at the start of the stream; it now knows the frame count,
    // sizes and the encoder delay that players need for the exact length.
    void writeLameTag()
    {
        if (!lame_get_bWriteVbrTag(m_lame.get()))
            return;
        const std::size_t size =
            lame_get_lametag_frame(m_lame.get(), m_buffer.data(), m_buffer.size());
        if (size > 0 && size <= m_buffer.size())
            m_file.writeAt(0, m_buffer.data(), size);
    }

    Lame m_lame;
    OutputFile m_file;
    std::vector<unsigned char> m_buffer;
    bool m_wroteAudio = false;
    std::optional<PcmConverter> m_meterInput;
};

} // namespace

void checkLameSettings(const LameSettings& settings)
{
    configuredLame(settings);
}

std::unique_ptr<AudioWriter> openMp3Writer(const LameSettings& settings, const QString& path)
{
    return std::make_unique<Mp3Writer>(settings, path);
}
