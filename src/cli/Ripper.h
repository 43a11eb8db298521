#pragma once

#include "cli/CliOptions.h"
#include "components/IFreeDBInformation2.h"
#include "components/lookup/AccurateRip.h"
#include "rip/RipLog.h"
#include "rip/TrackRecords.h"

#include <QElapsedTimer>
#include <QObject>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class IAudioCDGrabber2;
class IAudioFile2;
class IAudioFile2LameEnc;
class ProgressReporter;
class SettingsFile;
class Spool;
class SpoolFile;

/// Exit codes of tunecrest-rip.
namespace ExitCode {
inline constexpr int Ok = 0;
inline constexpr int TrackFailed = 1; // also: an error that stopped the whole rip
inline constexpr int Usage = 2;
inline constexpr int NoDisc = 3;
inline constexpr int Interrupted = 130;
} // namespace ExitCode

/// One requested track on its way from the disc to a tagged file.
struct RipTrack
{
    enum class State { Waiting, Reading, Spooled, Encoding, Done, Failed };

    int number = 0; // 1-based
    TrackRow row;
    QString directory; // its output folder
    QString path;      // its final name, once chosen
    QString partial;   // the file while it is written; empty once it has its final name or is gone
    std::shared_ptr<Spool> spool; // the read audio while it waits for its encoder
    State state = State::Waiting;
    QString error;
    qint64 size = 0;
    QElapsedTimer clock; // runs from the start of its read
    double elapsed = 0;  // wall seconds from the start of its read to its tagged file
    std::shared_ptr<std::atomic<bool>> cancel = std::make_shared<std::atomic<bool>>(false);
    RipTrackRecord record;  // what the log and the cue sheet say of it
    bool testing = false;   // its test read is under way
    bool rereading = false; // a verified rip reads it again in Paranoid mode
};

/// How far the whole rip is.
struct RipProgress
{
    int done = 0;            // tracks finished, well or not
    int total = 0;           // tracks requested
    double percent = 0;      // of the requested audio read
    double secondsLeft = -1; // estimated; negative while unknown
};

/// Makes the encoder objects of one track.
struct EncoderFactory
{
    std::function<std::unique_ptr<IAudioFile2>()> audioFile;
    std::function<std::unique_ptr<IAudioFile2LameEnc>()> lameEncoder;
};

/// Rips the requested tracks of the disc in the grabber's current drive, driven by the grabber's
/// and the encoders' events. With one job the grabber encodes as it reads; with more, it spools
/// each track (through spool, the audio file the grabber writes through) and a pool of encoders
/// works on the spooled tracks while the next one is read. Every file is written under a partial
/// name and gets its final one when it is complete and tagged.
class Ripper final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Ripper)
public:
    Ripper(const CliOptions& options, const SettingsFile& settings, IAudioCDGrabber2& grabber,
           EncoderFactory factory, ProgressReporter& reporter, SpoolFile* spool = nullptr);
    ~Ripper() override;

    /// Reads the requested tracks' rows; an error text when a requested track is not on the disc.
    QString prepare();
    /// Makes the output folder ready and starts the first read; finished() follows, also when
    /// the folder cannot be used.
    void start();
    /// start(), then waits for finished(); returns its exit code.
    int run();
    /// Stops at once: aborts the read, cancels the encoders, removes unfinished files, then
    /// finishes with exitCode.
    void interrupt(int exitCode = ExitCode::Interrupted);

    /// The entry a lookup loaded: its identifiers and cover go into the files' tags, the cover
    /// also beside them.
    void setLookedUpEntry(const FreeDBEntry& entry) { m_entry = entry; }

    const std::vector<RipTrack>& tracks() const { return m_tracks; }
    /// What the AccurateRip database said of the disc: each track read is judged against it,
    /// and with verify a track it does not confirm is read again in Paranoid mode.
    void setAccurateRip(const AccurateRipAnswer& answer, bool verify);
    /// The disc's CDDB id, for the log and the cue sheet.
    void setDiscId(const QString& discId) { m_record.discId = discId; }
    /// What writing the log or the cue sheet failed on; empty when nothing did.
    const QString& reportError() const { return m_reportError; }
    /// Why the rip could not start; empty when it did.
    const QString& startError() const { return m_startError; }

signals:
    void finished(int exitCode);

private:
    bool spooling() const { return m_spool != nullptr; }
    bool mayReadAhead() const;
    void readNext();
    void startRead(RipTrack& track);
    void chooseOutputPath(RipTrack& track);
    bool isTaken(const QString& path) const;
    void onGrabProgress(double percent);
    void startTestRead(RipTrack& track);
    void testReadEnded(RipTrack& track, const QString& error);
    void writeReports();
    void onGrabFailed(const QString& message);
    void readComplete(RipTrack& track);
    /// The AccurateRip verdict on the track's copy, into its record; nullopt without one.
    std::optional<AccurateRipVerdict> judgeCopy(RipTrack& track);
    /// With verify: whether the burst read of track went unconfirmed and a Paranoid read of it
    /// has started.
    bool readAgainIfUnverified(RipTrack& track, const std::optional<AccurateRipVerdict>& verdict);
    void startEncoders();
    void startEncoder(std::size_t index);
    void encoderFinished(std::size_t index, const QString& error);
    void finishTrack(RipTrack& track);
    void failTrack(RipTrack& track, const QString& error);
    void removePartial(RipTrack& track);
    void closeAudioFile();
    void checkFinished();
    RipProgress progress(double currentPercent) const;

    const CliOptions& m_options;
    const SettingsFile& m_settings;
    FreeDBEntry m_entry;
    IAudioCDGrabber2& m_grabber;
    EncoderFactory m_factory;
    ProgressReporter& m_reporter;
    SpoolFile* m_spool;
    std::unique_ptr<IAudioFile2LameEnc> m_lame;
    std::vector<RipTrack> m_tracks;
    QString m_root;
    QString m_extension;
    QString m_startError;
    QString m_reportError;
    RipRecord m_record;
    std::optional<AccurateRipAnswer> m_accurateRip;
    bool m_verify = false;
    int m_scheme = 0;
    int m_discTracks = 0;
    int m_jobs = 1;
    int m_running = 0;      // encoders at work
    int m_reading = -1;     // index of the track being read
    std::size_t m_next = 0; // the next track to read
    bool m_interrupted = false;
    bool m_finished = false;
    int m_exitCode = ExitCode::Ok;
    QElapsedTimer m_clock;
    double m_totalSeconds = 0;
    QThreadPool m_pool;
};
