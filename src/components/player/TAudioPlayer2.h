#pragma once

#include "base/IAudioPlayer2.h"

#include <QAudio>
#include <QAudioFormat>
#include <QTimer>

#include <memory>

class QAudioSink;
class BlockQueue;

/// The player over Qt Multimedia's QAudioSink (PulseAudio on Linux). The sink pulls the queued
/// blocks on the GUI thread, so every event is emitted there.
class TAudioPlayer2 final : public IAudioPlayer2
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TAudioPlayer2)
public:
    explicit TAudioPlayer2(QObject* parent = nullptr);
    ~TAudioPlayer2() override;

    void Play() override;
    void Stop() override;
    void PlayArray(const QByteArray& data) override;
    void SetFormat(int sampleRate, int channels) override;

    /// The message Play throws when no output can be opened.
    static QString noOutputMessage();

private:
    void openSink();
    void dropSink();
    qint64 bytesPerSecond() const;
    /// How long what the sink was given still plays, by the server's clock.
    qint64 unplayedMs() const;
    void sinkStateChanged(QAudio::State state);
    void blockPlayed();
    void queueRanEmpty();
    void reportPosition();
    void checkDry();

    QAudioFormat m_format;
    std::unique_ptr<BlockQueue> m_queue;
    std::unique_ptr<QAudioSink> m_sink; // declared after the queue: it reads from it until gone
    QTimer m_positionTimer;
    QTimer m_dryTimer;
    bool m_requested = false; // OnRequestOnLoadArray was sent and no block has come since
};
