#pragma once

#include "base/IAudioFile2.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

/// Puts an encoder on a thread of its own: write() queues the audio and returns, so the disc is
/// read while the last stretch is still being encoded, as a pipe between two programs would do.
/// The queue is short, so a slow encoder holds the reader back rather than memory filling up.
/// An encoder's error is raised by the next write() or by Close().
class QueuedAudioFile final : public IAudioFile2
{
public:
    explicit QueuedAudioFile(std::unique_ptr<IAudioFile2> encoder);
    ~QueuedAudioFile() override;

    void Close() override;
    void SetWaveFormat(int sampleRate, int channels, int bitsPerSample) override;
    void SetMp3Encoder(IAudioFile2LameEnc* encoder) override;
    void SetOggVorbisFormat(int sampleRate, int channels, int bitrate, int minBitrate,
                            int maxBitrate, int quality) override;
    void SetWmaFormat(int format) override;
    void SetFlacFormat(int compression, bool verify) override;
    void SetOpusFormat(int bitrate) override { m_encoder->SetOpusFormat(bitrate); }
    void SetAacFormat(int bitrate) override { m_encoder->SetAacFormat(bitrate); }
    bool IsOpen() const override { return m_encoder->IsOpen(); }
    void OptionFlag(int flags) override { m_encoder->OptionFlag(flags); }
    void open(const QString& path) override;
    void write(std::span<const std::int16_t> samples) override;
    void measureReplayGain(bool on) override { m_encoder->measureReplayGain(on); }
    std::unique_ptr<ReplayGainMeter> takeReplayGainMeter() override
    {
        return m_encoder->takeReplayGainMeter();
    }

private:
    static constexpr std::size_t MaxQueued = 16;

    void encodeQueued();
    /// Waits until everything queued is encoded; raises the encoder's error, if any.
    void drain();

    std::unique_ptr<IAudioFile2> m_encoder;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::vector<std::int16_t>> m_queue;
    bool m_encoding = false; // a piece is out of the queue and in the encoder
    bool m_stopping = false;
    QString m_error;
    std::thread m_thread;
};
