#include "components/player/TAudioPlayer2.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>

namespace {

constexpr int PositionIntervalMs = 100;
constexpr int BytesPerSample = 2;
// Waited past the moment the server's clock says the last sample sounds, for the error of that
// clock; and the longest wait for it, should the server's clock stand still.
constexpr qint64 EndMarginMs = 100;
constexpr qint64 LongestEndWaitMs = 5000;

} // namespace

/// The queued blocks as a sequential device the sink pulls from. Tells its owner when a block
/// has been handed to the sink in full and when a read found nothing queued, and the sink when
/// there is something to read again (it stops asking after a read found nothing).
class BlockQueue final : public QIODevice
{
public:
    BlockQueue(std::function<void()> blockDone, std::function<void()> empty)
        : m_blockDone(std::move(blockDone)), m_empty(std::move(empty))
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    Q_DISABLE_COPY_MOVE(BlockQueue)

    void append(const QByteArray& block)
    {
        // A deep copy: the caller may destroy or reuse its array as soon as the call returns.
        m_blocks.emplace_back(block.constData(), block.size());
        m_queued += block.size();
        emit readyRead();
    }

    void clear()
    {
        m_blocks.clear();
        m_offset = 0;
        m_queued = 0;
        m_handedOn = 0;
    }

    bool empty() const { return m_queued == 0; }
    /// Bytes handed to the sink since the last clear().
    qint64 handedOn() const { return m_handedOn; }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_queued + QIODevice::bytesAvailable(); }
    int levelLeft() const { return m_levels[0]; }
    int levelRight() const { return m_levels[1]; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        // Whole stereo frames only, so the channels never swap.
        maxSize -= maxSize % (2 * BytesPerSample);
        qint64 copied = 0;
        while (copied < maxSize && !m_blocks.empty()) {
            const QByteArray& front = m_blocks.front();
            const qint64 take = std::min<qint64>(maxSize - copied, front.size() - m_offset);
            std::memcpy(data + copied, front.constData() + m_offset, static_cast<size_t>(take));
            copied += take;
            m_offset += take;
            m_queued -= take;
            m_handedOn += take;
            if (m_offset == front.size()) {
                m_blocks.pop_front();
                m_offset = 0;
                m_blockDone();
            }
        }
        measure(data, copied);
        if (copied == 0)
            m_empty();
        return copied;
    }

    qint64 writeData(const char*, qint64) override { return -1; }

private:
    // The peak of each channel in what was just handed on.
    void measure(const char* data, qint64 size)
    {
        m_levels[0] = m_levels[1] = 0;
        const qint64 samples = size / BytesPerSample;
        for (qint64 i = 0; i < samples; ++i) {
            std::int16_t sample;
            std::memcpy(&sample, data + i * BytesPerSample, sizeof sample);
            int& level = m_levels[i % 2];
            level = std::max(level, std::min(32767, std::abs(int(sample))));
        }
    }

    std::function<void()> m_blockDone;
    std::function<void()> m_empty;
    std::deque<QByteArray> m_blocks;
    qint64 m_offset = 0; // read position inside the front block
    qint64 m_queued = 0; // bytes not yet handed to the sink
    qint64 m_handedOn = 0;
    int m_levels[2] = {0, 0};
};

TAudioPlayer2::TAudioPlayer2(QObject* parent)
    : IAudioPlayer2(parent),
      m_queue(std::make_unique<BlockQueue>([this] { blockPlayed(); }, [this] { queueRanEmpty(); }))
{
    m_format.setSampleFormat(QAudioFormat::Int16);
    m_format.setSampleRate(44100);
    m_format.setChannelCount(2);
    m_positionTimer.setInterval(PositionIntervalMs);
    connect(&m_positionTimer, &QTimer::timeout, this, &TAudioPlayer2::reportPosition);
    m_dryTimer.setSingleShot(true);
    connect(&m_dryTimer, &QTimer::timeout, this, &TAudioPlayer2::checkDry);
}

TAudioPlayer2::~TAudioPlayer2()
{
    // Output ends with the player: nothing sounds after the window that owned it is gone.
    dropSink();
}

QString TAudioPlayer2::noOutputMessage()
{
    return QStringLiteral("No sound output device is available.");
}

void TAudioPlayer2::SetFormat(int sampleRate, int channels)
{
    if (sampleRate <= 0 || channels <= 0)
        throw ComponentError(QStringLiteral("Invalid playback format: %1 Hz, %2 channels.")
                                 .arg(sampleRate)
                                 .arg(channels));
    dropSink();
    m_queue->clear();
    m_requested = false;
    m_format.setSampleRate(sampleRate);
    m_format.setChannelCount(channels);
}

void TAudioPlayer2::Play()
{
    if (!m_sink) {
        openSink();
    } else if (m_sink->state() == QAudio::SuspendedState) {
        m_sink->resume();
    }
    m_positionTimer.start();
}

void TAudioPlayer2::Stop()
{
    m_positionTimer.stop();
    m_dryTimer.stop();
    if (m_sink && (m_sink->state() == QAudio::ActiveState || m_sink->state() == QAudio::IdleState))
        m_sink->suspend();
}

void TAudioPlayer2::PlayArray(const QByteArray& data)
{
    if (data.isEmpty())
        return;
    m_queue->append(data);
    m_requested = false;
    m_dryTimer.stop();
}

void TAudioPlayer2::openSink()
{
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        throw NoAudioOutputError(noOutputMessage());
    // Held before it starts: the sink reports its first states from inside start().
    m_sink = std::make_unique<QAudioSink>(device, m_format);
    // Half a second in the server: the sink pulls on the GUI thread, and a window that is
    // busy for a moment (a menu, a dialog opening, a drag) must not make the sound break up.
    // Halting is at once whatever the buffer holds, and resuming plays on from there.
    m_sink->setBufferSize(int(bytesPerSecond() / 2));
    connect(m_sink.get(), &QAudioSink::stateChanged, this, &TAudioPlayer2::sinkStateChanged);
    m_sink->start(m_queue.get());
    const QAudio::Error error = m_sink->error();
    if (error == QAudio::NoError)
        return;
    dropSink();
    if (error == QAudio::OpenError)
        throw NoAudioOutputError(noOutputMessage());
    throw ComponentError(
        QStringLiteral("The sound output could not be started (%1).").arg(device.description()));
}

qint64 TAudioPlayer2::bytesPerSecond() const
{
    return qint64(m_format.sampleRate()) * m_format.channelCount() * BytesPerSample;
}

// Asked as the sink runs dry, while the server's clock of what has sounded still counts the
// device's latency (it stops doing so once the server too has run dry): what the server holds
// then is its buffer and that latency, more than the buffer size the sink reports.
qint64 TAudioPlayer2::unplayedMs() const
{
    const qint64 handedOnUs = m_queue->handedOn() * 1000000 / bytesPerSecond();
    return std::max<qint64>(0, handedOnUs - m_sink->processedUSecs()) / 1000;
}

void TAudioPlayer2::dropSink()
{
    m_positionTimer.stop();
    m_dryTimer.stop();
    if (!m_sink)
        return;
    m_sink->disconnect(this);
    m_sink->stop();
    m_sink.reset();
}

void TAudioPlayer2::sinkStateChanged(QAudio::State state)
{
    switch (state) {
    case QAudio::IdleState:
        // The sink has nothing left to read, and what it was given is still to sound: the end
        // is reported once that has played, or a halt would take it back from the server.
        if (m_queue->empty())
            m_dryTimer.start(int(std::min(unplayedMs() + EndMarginMs, LongestEndWaitMs)));
        break;
    case QAudio::ActiveState:
        m_dryTimer.stop();
        break;
    case QAudio::StoppedState:
        // The server went away or the device failed: output has ended.
        if (m_sink->error() != QAudio::NoError) {
            m_positionTimer.stop();
            emit OnEndPlay();
        }
        break;
    case QAudio::SuspendedState:
        break;
    }
}

void TAudioPlayer2::blockPlayed()
{
    // Emitted from the event loop, not from inside the sink's read.
    QMetaObject::invokeMethod(
        this, [this] { emit OnEndArrayPlay(); }, Qt::QueuedConnection);
}

void TAudioPlayer2::queueRanEmpty()
{
    if (m_requested)
        return;
    m_requested = true;
    QMetaObject::invokeMethod(
        this, [this] { emit OnRequestOnLoadArray(); }, Qt::QueuedConnection);
}

void TAudioPlayer2::checkDry()
{
    if (m_sink && m_sink->state() == QAudio::IdleState && m_queue->empty()) {
        m_positionTimer.stop();
        emit OnEndPlay();
    }
}

void TAudioPlayer2::reportPosition()
{
    if (!m_sink)
        return;
    const qint64 samples = m_sink->processedUSecs() * m_format.sampleRate() / 1000000;
    emit OnTimer(int(samples), m_queue->levelLeft(), m_queue->levelRight());
}
