#pragma once

#include "base/IAudioFile2.h"
#include "base/UniqueFd.h"

#include <QString>

#include <memory>

/// The read audio of one track, in a file that has no name: it is gone with its last descriptor,
/// so no spool outlives the program, however it ends.
class Spool final
{
public:
    Spool(UniqueFd fd, QString folder, qint64 size);

    /// Reads up to size bytes from offset; returns how many were read. Throws ComponentError.
    qint64 read(qint64 offset, char* data, qint64 size) const;
    qint64 size() const { return m_size; }

private:
    UniqueFd m_fd;
    QString m_folder;
    qint64 m_size;
};

/// An audio file that keeps the disc's PCM as it comes (16-bit stereo, 44100 Hz, no header), so a
/// track can be read at the drive's pace and encoded later on another core. open() takes the
/// folder the spool goes in, not a file name.
class SpoolFile final : public IAudioFile2
{
public:
    void Close() override;
    void SetWaveFormat(int, int, int) override {}
    void SetMp3Encoder(IAudioFile2LameEnc*) override {}
    void SetOggVorbisFormat(int, int, int, int, int, int) override {}
    void SetWmaFormat(int) override {}
    void SetFlacFormat(int, bool) override {}
    void SetOpusFormat(int) override {}
    void SetAacFormat(int) override {}
    bool IsOpen() const override { return m_fd.isValid(); }
    void OptionFlag(int) override {}
    void open(const QString& folder) override;
    void write(std::span<const std::int16_t> samples) override;
    void measureReplayGain(bool) override {} // the spool's encoder measures
    std::unique_ptr<ReplayGainMeter> takeReplayGainMeter() override { return nullptr; }

    /// The spool of the last closed track; null when there is none.
    std::unique_ptr<Spool> takeSpool();

private:
    UniqueFd m_fd;
    QString m_folder;
    qint64 m_size = 0;
    std::unique_ptr<Spool> m_closed;
};
