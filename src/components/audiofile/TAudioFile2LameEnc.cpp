#include "components/audiofile/TAudioFile2LameEnc.h"

#include "base/ComponentError.h"
#include "components/audiofile/LameCommandLine.h"

#include <algorithm>

namespace {

constexpr int MaxFilterHz = 48000;

void checkRange(const char* member, int value, int low, int high)
{
    if (value < low || value > high)
        throw ComponentError(QStringLiteral("%1: %2 is outside %3 .. %4")
                                 .arg(QLatin1String(member))
                                 .arg(value)
                                 .arg(low)
                                 .arg(high));
}

} // namespace

template <typename T> void TAudioFile2LameEnc::setIndividual(std::optional<T>& member, T value)
{
    leavePresetMode();
    member = value;
}

void TAudioFile2LameEnc::leavePresetMode()
{
    m_settings.presetMode = false;
    m_settings.preset.reset();
    m_settings.altPreset.reset();
    m_lastWasPreset = false;
}

void TAudioFile2LameEnc::CommandLine(const QString& text)
{
    m_settings.commandLine = parseLameCommandLine(text);
}

void TAudioFile2LameEnc::ApplyPreset(int preset)
{
    checkRange("ApplyPreset", preset, 1, 11);
    m_settings.presetMode = true;
    m_settings.preset = preset;
    m_settings.altPreset.reset();
    m_lastWasPreset = true;
}

void TAudioFile2LameEnc::ApplyAltPreset(int preset)
{
    checkRange("ApplyAltPreset", preset, 1, 5);
    if (!m_lastWasPreset)
        m_settings.preset.reset();
    m_settings.presetMode = true;
    m_settings.altPreset = preset;
    m_lastWasPreset = false;
}

void TAudioFile2LameEnc::VbrBitrate(int kbps)
{
    checkRange("VbrBitrate", kbps, 8, 320);
    setIndividual(m_settings.vbrBitrate, kbps);
}

void TAudioFile2LameEnc::VbrQuality(int quality)
{
    checkRange("VbrQuality", quality, 0, 9);
    setIndividual(m_settings.vbrQuality, quality);
}

void TAudioFile2LameEnc::VbrMethod(int method)
{
    checkRange("VbrMethod", method, -1, 3);
    setIndividual(m_settings.vbrMethod, method);
}

void TAudioFile2LameEnc::ChannelMode(int mode)
{
    checkRange("ChannelMode", mode, 1, 4);
    setIndividual(m_settings.channelMode, mode);
}

void TAudioFile2LameEnc::ChannelCount(int channels)
{
    checkRange("ChannelCount", channels, 1, 2);
    leavePresetMode();
    if (channels == 1)
        m_settings.channelMode = 0;
    else if (m_settings.channelMode == 0)
        m_settings.channelMode.reset(); // stereo again, in the mode LAME picks
}

void TAudioFile2LameEnc::Quality(int quality)
{
    checkRange("Quality", quality, 0, 9);
    setIndividual(m_settings.quality, quality);
}

void TAudioFile2LameEnc::WriteVbrHeader(int enabled)
{
    setIndividual(m_settings.writeVbrHeader, enabled != 0);
}

void TAudioFile2LameEnc::BitReservoir(int enabled)
{
    setIndividual(m_settings.bitReservoir, enabled != 0);
}

void TAudioFile2LameEnc::AllowDiffBlockTypes(int enabled)
{
    setIndividual(m_settings.allowDiffBlockTypes, enabled != 0);
}

void TAudioFile2LameEnc::ShortBlocks(int enabled)
{
    setIndividual(m_settings.shortBlocks, enabled != 0);
}

void TAudioFile2LameEnc::DeEmphasis(int mode)
{
    checkRange("DeEmphasis", mode, 0, 2);
    setIndividual(m_settings.deEmphasis, mode);
}

void TAudioFile2LameEnc::StrictIso(int enabled)
{
    setIndividual(m_settings.strictIso, enabled != 0);
}

void TAudioFile2LameEnc::EnforceMinBitrate(int enabled)
{
    setIndividual(m_settings.enforceMinBitrate, enabled != 0);
}

void TAudioFile2LameEnc::AthControl(int mode)
{
    checkRange("AthControl", mode, 0, 3);
    setIndividual(m_settings.athControl, mode);
}

void TAudioFile2LameEnc::LowpassFrequency(int hz)
{
    checkRange("LowpassFrequency", hz, -1, MaxFilterHz);
    setIndividual(m_settings.lowpassFrequency, hz);
}

void TAudioFile2LameEnc::HighpassFrequency(int hz)
{
    checkRange("HighpassFrequency", hz, -1, MaxFilterHz);
    setIndividual(m_settings.highpassFrequency, hz);
}

void TAudioFile2LameEnc::LowpassWidth(int hz)
{
    checkRange("LowpassWidth", hz, 0, MaxFilterHz);
    setIndividual(m_settings.lowpassWidth, hz);
}

void TAudioFile2LameEnc::HighpassWidth(int hz)
{
    checkRange("HighpassWidth", hz, 0, MaxFilterHz);
    setIndividual(m_settings.highpassWidth, hz);
}

void TAudioFile2LameEnc::CrcProtection(int enabled)
{
    setIndividual(m_settings.crcProtection, enabled != 0);
}

void TAudioFile2LameEnc::SampleRate(int hz)
{
    if (std::find(Mp3SampleRates.begin(), Mp3SampleRates.end(), hz) == Mp3SampleRates.end())
        throw ComponentError(QStringLiteral("SampleRate: MP3 files cannot have %1 Hz").arg(hz));
    setIndividual(m_settings.sampleRate, hz);
}

void TAudioFile2LameEnc::Bitrate(int kbps)
{
    checkRange("Bitrate", kbps, 8, 320);
    setIndividual(m_settings.bitrate, kbps);
}
