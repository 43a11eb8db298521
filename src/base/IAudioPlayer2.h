#pragma once

#include "base/ComponentError.h"

#include <QByteArray>
#include <QObject>

/// What Play throws when there is no sound output at all (no device, no sound server); the
/// caller tells the user and leaves playback stopped instead of treating it as a fault.
class NoAudioOutputError final : public ComponentError
{
public:
    using ComponentError::ComponentError;
};

/// The player: plays blocks of interleaved 16-bit PCM one after another.
/// Events are delivered on the thread that owns the object (the GUI thread).
/// Failing calls throw ComponentError.
class IAudioPlayer2 : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~IAudioPlayer2() override = default;

    /// Starts or resumes output; throws NoAudioOutputError when no output can be opened.
    virtual void Play() = 0;
    /// Halts output at once; the queued blocks stay, so Play continues where it halted.
    virtual void Stop() = 0;
    /// Queues one block; the player keeps its own copy.
    virtual void PlayArray(const QByteArray& data) = 0;
    /// Sets the format of the blocks that follow and drops the output and whatever is queued.
    virtual void SetFormat(int sampleRate, int channels) = 0;

signals:
    /// A queued block has been played.
    void OnEndArrayPlay();
    /// Position in samples and the peak levels (0 to 32767), about every 100 ms while playing.
    void OnTimer(int currentSamples, int levelLeft, int levelRight);
    /// The player has run out of queued data and wants more.
    void OnRequestOnLoadArray();
    /// Output ran dry: everything queued has been played.
    void OnEndPlay();
};
