#include "components/audiofile/QueuedAudioFile.h"

#include "base/ComponentError.h"

QueuedAudioFile::QueuedAudioFile(std::unique_ptr<IAudioFile2> encoder)
    : m_encoder(std::move(encoder)), m_thread([this] { encodeQueued(); })
{
}

QueuedAudioFile::~QueuedAudioFile()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void QueuedAudioFile::encodeQueued()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
        if (m_queue.empty())
            return; // stopping, and nothing is left to encode
        std::vector<std::int16_t> piece = std::move(m_queue.front());
        m_queue.pop_front();
        m_encoding = true;
        lock.unlock();
        m_changed.notify_all(); // room in the queue
        QString error;
        try {
            m_encoder->write(piece);
        } catch (const std::exception& e) {
            error = QString::fromUtf8(e.what());
        }
        lock.lock();
        m_encoding = false;
        if (!error.isEmpty() && m_error.isEmpty()) {
            m_error = error;
            m_queue.clear(); // the file is lost; what is left need not be encoded
        }
        m_changed.notify_all();
    }
}

void QueuedAudioFile::drain()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.empty() && !m_encoding; });
    if (!m_error.isEmpty()) {
        const QString error = std::exchange(m_error, QString());
        throw ComponentError(error);
    }
}

void QueuedAudioFile::write(std::span<const std::int16_t> samples)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.size() < MaxQueued || !m_error.isEmpty(); });
    if (!m_error.isEmpty())
        throw ComponentError(m_error);
    m_queue.emplace_back(samples.begin(), samples.end());
    lock.unlock();
    m_changed.notify_all();
}

void QueuedAudioFile::Close()
{
    try {
        drain();
    } catch (const ComponentError&) {
        // The encoder failed: close what it has, which removes its unfinished file.
        try {
            m_encoder->Close();
        } catch (const ComponentError&) {
        }
        throw;
    }
    m_encoder->Close();
}

void QueuedAudioFile::open(const QString& path)
{
    drain();
    m_encoder->open(path);
}

void QueuedAudioFile::SetWaveFormat(int sampleRate, int channels, int bitsPerSample)
{
    m_encoder->SetWaveFormat(sampleRate, channels, bitsPerSample);
}

void QueuedAudioFile::SetMp3Encoder(IAudioFile2LameEnc* encoder)
{
    m_encoder->SetMp3Encoder(encoder);
}

void QueuedAudioFile::SetOggVorbisFormat(int sampleRate, int channels, int bitrate, int minBitrate,
                                         int maxBitrate, int quality)
{
    m_encoder->SetOggVorbisFormat(sampleRate, channels, bitrate, minBitrate, maxBitrate, quality);
}

void QueuedAudioFile::SetWmaFormat(int format)
{
    m_encoder->SetWmaFormat(format);
}

void QueuedAudioFile::SetFlacFormat(int compression, bool verify)
{
    m_encoder->SetFlacFormat(compression, verify);
}
