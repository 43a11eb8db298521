#pragma once

#include "base/IAudioFile2LameEnc.h"
#include "components/audiofile/LameSettings.h"

/// The MP3 settings, kept until set again and handed to the audio file as a snapshot.
///
/// How the values reach LAME:
/// - Presets: ApplyPreset 1 Phone (ABR 16 kbps, mono), 2 SW (ABR 24, mono), 3 AM (ABR 40, mono),
///   4 FM (ABR 112), 5 Voice (ABR 56, mono), 6 Radio (ABR 112), 7 Type (ABR 112), 8 HiFi
///   (ABR 160), 9 CD (ABR 192), 10 Studio (ABR 256), 11 R3Mix (LAME's r3mix);
///   ApplyAltPreset 1 Fast Standard, 2 Standard, 3 Fast Extreme, 4 Extreme, 5 Insane (LAME's
///   presets of those names). A preset call right after ApplyPreset adds to it (both apply, in
///   that order); otherwise a preset call replaces the earlier preset choice. While presets are
///   chosen they alone configure LAME, with its own sample rate and filters; the first
///   individual setting afterwards leaves preset mode and all individual values apply again.
/// - VbrMethod -1: constant Bitrate. 0 LAME's default VBR, 1 old (rh), 2 new and 3 MTRH (both
///   mtrh): VBR with VbrQuality, Bitrate as the minimum (strict with EnforceMinBitrate) and
///   VbrBitrate as the maximum (never below the minimum).
/// - ChannelCount 1 encodes mono; ChannelMode 1 stereo, 2 joint stereo, 3 forced joint stereo
///   (mid/side in every frame), 4 dual channels. The later of the two calls wins.
/// - Low/HighpassFrequency -1 (no filter of the user's): LAME keeps its automatic filter, which
///   its tuning for each bitrate relies on; the widths apply only to the user's filters.
/// - DeEmphasis 0 none, 1 50/15 us, 2 CCITT J.17; AthControl 0 default, 1 ATH only,
///   2 no ATH, 3 ATH for short blocks only.
/// - SampleRate: the MP3 file's rate; LAME resamples the CD audio itself.
/// - CommandLine: see parseLameCommandLine; its options apply last, over presets or individual
///   values. An empty text removes the command line.
/// Values out of their range throw ComponentError naming the member.
class TAudioFile2LameEnc final : public IAudioFile2LameEnc
{
public:
    void CommandLine(const QString& text) override;
    void ApplyPreset(int preset) override;
    void ApplyAltPreset(int preset) override;
    void VbrBitrate(int kbps) override;
    void VbrQuality(int quality) override;
    void VbrMethod(int method) override;
    void ChannelMode(int mode) override;
    void Quality(int quality) override;
    void WriteVbrHeader(int enabled) override;
    void BitReservoir(int enabled) override;
    void AllowDiffBlockTypes(int enabled) override;
    void ShortBlocks(int enabled) override;
    void DeEmphasis(int mode) override;
    void StrictIso(int enabled) override;
    void EnforceMinBitrate(int enabled) override;
    void AthControl(int mode) override;
    void LowpassFrequency(int hz) override;
    void HighpassFrequency(int hz) override;
    void LowpassWidth(int hz) override;
    void HighpassWidth(int hz) override;
    void CrcProtection(int enabled) override;
    void SampleRate(int hz) override;
    void ChannelCount(int channels) override;
    void Bitrate(int kbps) override;

    const LameSettings& settings() const { return m_settings; }

private:
    /// An individual value: leaves preset mode.
    template <typename T> void setIndividual(std::optional<T>& member, T value);
    void leavePresetMode();

    LameSettings m_settings;
    bool m_lastWasPreset = false;
};
