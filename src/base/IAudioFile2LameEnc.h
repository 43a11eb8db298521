#pragma once

#include <QString>

/// MP3 settings of the LAME encoder component. Every member takes one value; none is read back
/// through this interface. The audio file takes a snapshot of them when the encoder is handed over.
/// Booleans use the component convention: -1 (or any non-zero) is true, 0 is false.
class IAudioFile2LameEnc
{
public:
    virtual ~IAudioFile2LameEnc() = default;

    virtual void CommandLine(const QString& text) = 0;
    virtual void ApplyPreset(int preset) = 0;    // 1 Phone .. 11 R3Mix
    virtual void ApplyAltPreset(int preset) = 0; // 1 Fast Standard .. 5 Insane
    virtual void VbrBitrate(int kbps) = 0;
    virtual void VbrQuality(int quality) = 0; // 0 best .. 9 fastest
    virtual void VbrMethod(int method) = 0;   // -1 none (CBR), 0 default, 1 old, 2 new, 3 MTRH
    virtual void ChannelMode(int mode) = 0;   // 1 stereo, 2 joint, 3 forced joint, 4 dual
    virtual void Quality(int quality) = 0;    // 0 best .. 9 fastest
    virtual void WriteVbrHeader(int enabled) = 0;
    virtual void BitReservoir(int enabled) = 0;
    virtual void AllowDiffBlockTypes(int enabled) = 0;
    virtual void ShortBlocks(int enabled) = 0;
    virtual void DeEmphasis(int mode) = 0; // 0 none, 1 50/15 us, 2 CCITT J.17
    virtual void StrictIso(int enabled) = 0;
    virtual void EnforceMinBitrate(int enabled) = 0;
    virtual void AthControl(int mode) = 0;      // 0 default, 1 only, 2 disabled, 3 short blocks
    virtual void LowpassFrequency(int hz) = 0;  // -1: no filter
    virtual void HighpassFrequency(int hz) = 0; // -1: no filter
    virtual void LowpassWidth(int hz) = 0;
    virtual void HighpassWidth(int hz) = 0;
    virtual void CrcProtection(int enabled) = 0;
    virtual void SampleRate(int hz) = 0;
    virtual void ChannelCount(int channels) = 0;
    virtual void Bitrate(int kbps) = 0;
};
