#pragma once

#include "cli/CliOptions.h"
#include "rip/TrackRecords.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTemporaryDir>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>

class IAudioCDGrabber2;
class IAudioFile2;
class IAudioFile2LameEnc;
class ProgressReporter;
class QEventLoop;
class SettingsFile;

/// Exit codes of tunecrest-rip.
namespace ExitCode {
inline constexpr int Ok = 0;
inline constexpr int TrackFailed = 1;
inline constexpr int Usage = 2;
inline constexpr int NoDisc = 3;
inline constexpr int Interrupted = 130;
} // namespace ExitCode

/// One requested track on its way from the disc to a tagged file.
struct RipTrack
{
    enum class State { Waiting, Reading, Encoding, Done, Failed };

    int number = 0; // 1-based
    TrackRow row;
    QString path;             // output file, once chosen
    QString spool;            // the read PCM while it waits for its encoder
    bool fileCreated = false; // this run made the file at path
    State state = State::Waiting;
    QString error;
    qint64 size = 0;
    QElapsedTimer clock; // runs from the start of its read
    double elapsed = 0;  // wall seconds from the start of its read to its tagged file
    std::shared_ptr<std::atomic<bool>> cancel = std::make_shared<std::atomic<bool>>(false);
};

/// Makes the encoder objects of one track.
struct EncoderFactory
{
    std::function<std::unique_ptr<IAudioFile2>()> audioFile;
    std::function<std::unique_ptr<IAudioFile2LameEnc>()> lameEncoder;
};

/// Rips the requested tracks of the disc in the grabber's current drive. With one job the grabber
/// encodes as it reads; with more, it spools each track and a pool of encoders works on the
/// spooled tracks while the next one is read.
class Ripper final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Ripper)
public:
    Ripper(const CliOptions& options, const SettingsFile& settings, IAudioCDGrabber2& grabber,
           EncoderFactory factory, ProgressReporter& reporter);
    ~Ripper() override;

    /// Reads the requested tracks' rows; an error text when a requested track is not on the disc.
    QString prepare();
    /// Rips; returns the exit code.
    int run();
    /// Stops at once: aborts the read, cancels the encoders, removes unfinished files.
    void interrupt();

    const QList<RipTrack>& tracks() const { return m_tracks; }

private:
    bool spooling() const { return m_jobs > 1; }
    QString chooseOutputPath(const RipTrack& track);
    bool isTaken(const QString& path) const;
    void ripDirect(RipTrack& track);
    void readToSpool(RipTrack& track);
    /// Reads the current track into target through the grabber's audio file and closes it; false
    /// when the read did not complete.
    bool grab(RipTrack& track, const QString& target);
    void closeAudioFile();
    bool waitForGrab(RipTrack& track);
    void startEncoder(qsizetype index);
    void encoderFinished(qsizetype index, const QString& error, bool created);
    void removeOwnFile(RipTrack& track);
    void finishTrack(RipTrack& track);
    void failTrack(RipTrack& track, const QString& error);
    void waitUntil(const std::function<bool()>& done);
    void removeUnfinished();

    const CliOptions& m_options;
    const SettingsFile& m_settings;
    IAudioCDGrabber2& m_grabber;
    EncoderFactory m_factory;
    ProgressReporter& m_reporter;
    std::unique_ptr<IAudioFile2LameEnc> m_lame;
    QList<RipTrack> m_tracks;
    QString m_root;
    int m_scheme = 0;
    int m_jobs = 1;
    int m_running = 0;
    bool m_interrupted = false;
    QEventLoop* m_wait = nullptr;
    // Read tracks waiting for their encoders; made for the first one, removed with everything in
    // it when the rip ends.
    std::unique_ptr<QTemporaryDir> m_spoolDir;
    QThreadPool m_pool;
};
