#pragma once

#include "base/IAudioFile2.h"
#include "base/IAudioFile2LameEnc.h"

#include <QStringList>

// Fakes of the audio file and the LAME encoder that record every call, as "Name(arg, ...)", into
// one shared log, so the order across both objects shows.

namespace RecordingDetail {
inline QString call(const char* name, std::initializer_list<int> args)
{
    QStringList texts;
    for (int a : args)
        texts << QString::number(a);
    return QStringLiteral("%1(%2)").arg(QLatin1String(name), texts.join(QStringLiteral(", ")));
}
} // namespace RecordingDetail

class RecordingAudioFile final : public IAudioFile2
{
public:
    explicit RecordingAudioFile(QStringList& log) : m_log(log) {}

    bool isOpen = false; // what IsOpen answers

    void Close() override { m_log << QStringLiteral("Close()"); }
    void SetWaveFormat(int rate, int channels, int bits) override
    {
        m_log << RecordingDetail::call("SetWaveFormat", {rate, channels, bits});
    }
    void SetMp3Encoder(IAudioFile2LameEnc*) override { m_log << QStringLiteral("SetMp3Encoder"); }
    void SetOggVorbisFormat(int rate, int channels, int bitrate, int minBitrate, int maxBitrate,
                            int quality) override
    {
        m_log << RecordingDetail::call("SetOggVorbisFormat",
                                       {rate, channels, bitrate, minBitrate, maxBitrate, quality});
    }
    void SetWmaFormat(int format) override
    {
        m_log << RecordingDetail::call("SetWmaFormat", {format});
    }
    void SetFlacFormat(int compression, bool verify) override
    {
        m_log << RecordingDetail::call("SetFlacFormat", {compression, verify ? 1 : 0});
    }
    void SetOpusFormat(int bitrate) override
    {
        m_log << RecordingDetail::call("SetOpusFormat", {bitrate});
    }
    void SetAacFormat(int bitrate) override
    {
        m_log << RecordingDetail::call("SetAacFormat", {bitrate});
    }
    bool IsOpen() const override { return isOpen; }
    void OptionFlag(int flags) override { m_log << RecordingDetail::call("OptionFlag", {flags}); }
    void open(const QString&) override { m_log << QStringLiteral("open"); }
    void write(std::span<const std::int16_t>) override {}
    void measureReplayGain(bool on) override
    {
        m_log << RecordingDetail::call("measureReplayGain", {on ? 1 : 0});
    }
    std::unique_ptr<ReplayGainMeter> takeReplayGainMeter() override { return nullptr; }

private:
    QStringList& m_log;
};

class RecordingLameEncoder final : public IAudioFile2LameEnc
{
public:
    explicit RecordingLameEncoder(QStringList& log) : m_log(log) {}

    void CommandLine(const QString& text) override
    {
        m_log << QStringLiteral("CommandLine(%1)").arg(text);
    }
#define RECORD(Name)                                                                               \
    void Name(int value) override                                                                  \
    {                                                                                              \
        m_log << RecordingDetail::call(#Name, {value});                                            \
    }
    RECORD(ApplyPreset)
    RECORD(ApplyAltPreset)
    RECORD(VbrBitrate)
    RECORD(VbrQuality)
    RECORD(VbrMethod)
    RECORD(ChannelMode)
    RECORD(Quality)
    RECORD(WriteVbrHeader)
    RECORD(BitReservoir)
    RECORD(AllowDiffBlockTypes)
    RECORD(ShortBlocks)
    RECORD(DeEmphasis)
    RECORD(StrictIso)
    RECORD(EnforceMinBitrate)
    RECORD(AthControl)
    RECORD(LowpassFrequency)
    RECORD(HighpassFrequency)
    RECORD(LowpassWidth)
    RECORD(HighpassWidth)
    RECORD(CrcProtection)
    RECORD(SampleRate)
    RECORD(ChannelCount)
    RECORD(Bitrate)
#undef RECORD

private:
    QStringList& m_log;
};
