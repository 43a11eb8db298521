#pragma once

#include "components/IAudioFile2.h"

#include <QFile>

/// An audio file that keeps the disc's PCM as it comes (16-bit stereo, 44100 Hz, no header), so a
/// track can be read at the drive's pace and encoded later on another core.
class SpoolFile final : public IAudioFile2
{
public:
    void Close() override;
    void SetWaveFormat(int, int, int) override {}
    void SetMp3Encoder(IAudioFile2LameEnc*) override {}
    void SetOggVorbisFormat(int, int, int, int, int, int) override {}
    void SetWmaFormat(int) override {}
    bool IsOpen() const override { return m_file.isOpen(); }
    void OptionFlag(int) override {}
    void open(const QString& path) override;
    void write(std::span<const std::int16_t> samples) override;

private:
    QFile m_file;
};
