#pragma once

#include "base/ComponentError.h"
#include "base/IAudioFile2.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <atomic>
#include <chrono>
#include <thread>

/// A plain 16-bit stereo 44100 Hz WAV writer behind IAudioFile2, for grabber tests: what the
/// grabber writes lands in the file unchanged, so a test can compare it bit for bit.
/// It never overwrites an existing file.
class WavAudioFile final : public IAudioFile2
{
public:
    void Close() override
    {
        if (!m_file.isOpen())
            return;
        m_file.seek(0);
        m_file.write(header(static_cast<quint32>(m_dataBytes)));
        m_file.close();
    }
    void SetWaveFormat(int, int, int) override {}
    void SetMp3Encoder(IAudioFile2LameEnc*) override {}
    void SetOggVorbisFormat(int, int, int, int, int, int) override {}
    void SetWmaFormat(int) override {}
    void SetFlacFormat(int, bool) override {}
    void SetOpusFormat(int) override {}
    void SetAacFormat(int) override {}
    void measureReplayGain(bool) override {}
    std::unique_ptr<ReplayGainMeter> takeReplayGainMeter() override { return nullptr; }
    bool IsOpen() const override { return m_file.isOpen(); }
    void OptionFlag(int) override {}

    void open(const QString& path) override
    {
        if (m_file.isOpen())
            throw ComponentError(QStringLiteral("A file is already open."));
        if (QFileInfo::exists(path))
            throw ComponentError(QStringLiteral("%1 exists already.").arg(path));
        m_file.setFileName(path);
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            throw ComponentError(
                QStringLiteral("Cannot create %1: %2.").arg(path, m_file.errorString()));
        m_dataBytes = 0;
        m_file.write(header(0));
    }

    void write(std::span<const std::int16_t> samples) override
    {
        if (m_delay.count() > 0)
            std::this_thread::sleep_for(m_delay);
        QByteArray bytes(static_cast<qsizetype>(samples.size() * 2), Qt::Uninitialized);
        qToLittleEndian<std::int16_t>(samples.data(), static_cast<qsizetype>(samples.size()),
                                      bytes.data());
        m_file.write(bytes);
        m_dataBytes += bytes.size();
        ++m_writes;
    }

    /// Makes every write take this long, so a test can stop a grab in the middle.
    void setWriteDelay(std::chrono::milliseconds delay) { m_delay = delay; }
    int writeCount() const { return m_writes.load(); }

private:
    static QByteArray header(quint32 dataBytes)
    {
        QByteArray h;
        auto put32 = [&h](quint32 v) { h.append(reinterpret_cast<const char*>(&v), 4); };
        auto put16 = [&h](quint16 v) { h.append(reinterpret_cast<const char*>(&v), 2); };
        h.append("RIFF");
        put32(qToLittleEndian(36 + dataBytes));
        h.append("WAVEfmt ");
        put32(qToLittleEndian(16u));
        put16(qToLittleEndian(quint16(1)));  // PCM
        put16(qToLittleEndian(quint16(2)));  // channels
        put32(qToLittleEndian(44100u));      // sample rate
        put32(qToLittleEndian(44100u * 4));  // bytes a second
        put16(qToLittleEndian(quint16(4)));  // bytes a frame
        put16(qToLittleEndian(quint16(16))); // bits a sample
        h.append("data");
        put32(qToLittleEndian(dataBytes));
        return h;
    }

    QFile m_file;
    qint64 m_dataBytes = 0;
    std::chrono::milliseconds m_delay{0};
    std::atomic<int> m_writes{0};
};
