#pragma once

#include "base/IFreeDBInformation2.h"
#include "components/lookup/AccurateRip.h"
#include "rip/CDFreedinfo.h"
#include "rip/OutputFormatNumber.h"
#include "rip/RipLog.h"
#include "rip/TagRecord.h"

#include <QElapsedTimer>
#include <QObject>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class IAudioCDGrabber2;
class IAudioFile2;
class IAudioFile2LameEnc;
class SettingsFile;
class Spool;
class SpoolFile;
class ReplayGainMeter;
class TrackListModel;
class UniqueFd;

/// One requested track on its way from the disc to a tagged file.
struct RipTrack
{
    enum class State { Waiting, Reading, Spooled, Encoding, Done, Failed, Skipped };

    static constexpr int HiddenTrack = -1; // the index of the audio hidden before track 1

    int index = 0;   // the row of the track list, 0-based; HiddenTrack for the hidden audio
    int number = 0;  // 1-based; 0 for the hidden audio
    QString caption; // the row's, as the track list shows it
    QString stem;    // its file's name without the extension, once chosen
    int sectors = 0;
    double seconds() const { return sectors / 75.0; }
    QString directory; // its output folder
    QString path;      // its final name, once chosen
    QString partial;   // the file while it is written; empty once it has its final name or is gone
    std::shared_ptr<Spool> spool;   // the read audio while it waits for its encoder
    std::shared_ptr<UniqueFd> lock; // the partial file's lock, held while it is written
    State state = State::Waiting;
    QString error;
    qint64 size = 0;
    QElapsedTimer clock; // runs from the start of its read
    double elapsed = 0;  // wall seconds from the start of its read to its tagged file
    std::shared_ptr<std::atomic<bool>> cancel = std::make_shared<std::atomic<bool>>(false);
    RipTrackRecord record;                     // what the log and the cue sheet say of it
    TagRecord tag;                             // what its file was tagged with
    std::shared_ptr<ReplayGainMeter> loudness; // measured while its file was written
    bool testing = false;                      // its test read is under way
    bool rereading = false;                    // a verified rip reads it again in Paranoid mode
    bool awaitingVerdict = false; // read; a verified rip waits for the database's answer
};

/// How far the whole run is.
struct RipProgress
{
    int done = 0;            // tracks finished, well or not
    int total = 0;           // tracks requested
    double percent = 0;      // of the requested audio read
    double secondsLeft = -1; // estimated; negative while unknown
};

/// Makes the encoder objects of a spooled track.
struct EncoderFactory
{
    std::function<std::unique_ptr<IAudioFile2>()> audioFile;
    std::function<std::unique_ptr<IAudioFile2LameEnc>()> lameEncoder;
};

/// What a run is asked to do, and how it behaves where the window and the terminal ripper differ.
struct RipRequest
{
    OutputFormatNumber format = OutputFormatNumber::Wma;
    QString root;   // the output folder, absolute; the scheme's folders go below it
    int scheme = 0; // FolderScheme
    int jobs = 1;   // above 1 the read audio is spooled and that many encoders work on it
    bool log = true;
    bool cue = true;
    bool testCopy = false;
    bool accurateRip = false; // ask the database and judge every track read
    bool verify = false;      // read in Burst mode, again in Paranoid where the database disagrees
    std::optional<int> readOffset; // what the log gives; unset: the stored one
    QString mp3CommandLine;        // the MP3 command line of the settings dialog
    QString nameTemplate;          // how files are named (applyFileTemplate); empty: the caption
    bool replayGain = false;       // track and album ReplayGain measured and tagged
    bool playlist = true;          // a playlist of the finished tracks beside them
    bool deEmphasis = false;       // pre-emphasised tracks de-emphasised as they are read
    bool hiddenTrack = false;      // the audio before track 1, when there is any, as track 0

    /// An error ends the run at once (error() says it); else only its track fails.
    bool stopAtFirstError = false;
    /// A stop closes, tags and names the track being read; else it is removed.
    bool keepStoppedTrack = false;
    /// root and its parents are made and checked before the first read; else the front end
    /// checks it, and only the scheme's folders below root are made, as each track needs them.
    bool prepareRoot = true;
};

/// The rip engine both front ends drive. It rips rows of a track list, one read at a time in
/// list order: for each it forms the folder and the name, configures the encoder, grabs the
/// track under a partial name, judges it against AccurateRip (reading it again in Paranoid mode
/// where a verified run needs it), tags it and gives it its final name, saves the cover; a
/// test-and-copy run then reads it once more. After the last track it writes the rip log and
/// the cue sheet. With one job the grabber's audio file encodes as the disc is read; with more,
/// each track is spooled and a pool of encoders works on the spooled tracks while the next one
/// is read. The texts that name and tag a file are the list's as they stand when the track
/// starts and when it is tagged. Everything runs on the thread that owns the engine, driven by
/// the grabber's and the encoders' events.
class RipEngine final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RipEngine)
public:
    /// lame configures MP3 for the grabber's own audio file; factory makes the encoders of
    /// spooled tracks, and spool is the grabber's audio file when it spools (jobs above 1).
    RipEngine(RipRequest request, const SettingsFile& settings, IAudioCDGrabber2& grabber,
              const TrackListModel& list, IAudioFile2LameEnc& lame, EncoderFactory factory = {},
              SpoolFile* spool = nullptr);
    ~RipEngine() override;

    /// The rows to rip, in order; with the request's hiddenTrack the hidden audio before track 1
    /// (when the disc has any) comes first, as track 0.
    void setRows(const QList<int>& rows);
    /// The entry a lookup loaded: its identifiers and cover go into the files' tags, the cover
    /// also beside them.
    void setLookedUpEntry(const FreeDBEntry& entry) { m_entry = entry; }

    /// Starts the run; finished() follows, also when it cannot start.
    void start();
    /// start(), then waits in the event loop for finished(). Throws ComponentError when an
    /// error ended the run early or kept it from starting.
    void run();
    /// Ends the run: the read under way is aborted, no further track starts, the encoders are
    /// cancelled. The stopped track is kept closed and tagged or removed, as the request says.
    void stop();

    const std::vector<RipTrack>& tracks() const { return m_tracks; }
    bool isFinished() const { return m_finished; }
    bool wasStopped() const { return m_stopped; }
    /// The error that ended the run early, or kept it from starting; empty when none did.
    const QString& error() const { return m_error; }
    /// What writing the log or the cue sheet failed on; empty when nothing did.
    const QString& reportError() const { return m_reportError; }
    /// The folder of the last track the run turned to; empty before the first.
    const QString& lastDirectory() const { return m_lastDirectory; }
    RipProgress progress(double currentPercent) const;
    /// Wall seconds since the run started.
    double elapsedSeconds() const { return m_clock.elapsed() / 1000.0; }

signals:
    /// The track at position is next: the grabber is about to be pointed at it.
    void trackStarting(int position);
    /// Its read is under way.
    void trackStarted(int position);
    void trackProgress(int position, double percent, double speed, const RipProgress& overall);
    /// Its audio waits for or is with an encoder (spooled runs).
    void trackEncoding(int position);
    /// The AccurateRip verdict on its copy is in its record.
    void trackJudged(int position);
    void trackDone(int position, const RipProgress& overall);
    void trackFailed(int position);
    /// A line for the user: the database's answer, a saved cover.
    void note(const QString& line);
    void finished();

private:
    bool spooling() const { return m_spool != nullptr; }
    int positionOf(const RipTrack& track) const;
    RipTrack* readingTrack();
    bool mayReadAhead() const;
    /// Asks the database for the disc while the first track is read.
    void askAccurateRip();
    void accurateRipAnswered(const AccurateRipAnswer& answer);
    /// Whether the database's answer is still to come.
    bool awaitingAccurateRip() const { return m_accurateRipLookup != nullptr; }
    /// The rest of a track's read once its copy is in: its verdict, a Paranoid read again, its
    /// file, its test read.
    void copyRead(RipTrack& track);
    void readNext();
    void startRead(RipTrack& track);
    void chooseOutputPath(RipTrack& track);
    bool isTaken(const QString& path) const;
    /// The artist the scheme's artist folder is named after for a track with texts.
    QString folderArtist(const CDFreedinfo& texts) const;
    /// The texts that name and tag a track: its row's, as they stand now.
    CDFreedinfo textsOf(const RipTrack& track) const;
    QString captionOf(const RipTrack& track) const;
    void selectTrack(const RipTrack& track);
    /// Forms the track's folder (with a template's sub-folders) and its final name.
    void nameTrack(RipTrack& track);
    TagRecord tagFor(const RipTrack& track) const;
    /// After a whole run: the album's ReplayGain added to the files of its tracks.
    void tagAlbumGain();
    void onGrabProgress(double percent);
    void onGrabFailed(const QString& message);
    void startTestRead(RipTrack& track);
    void testReadEnded(RipTrack& track, const QString& error);
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
    void saveCover(const RipTrack& track);
    /// A track's error: the run ends with it, or the track alone fails, as the request says.
    void trackError(RipTrack& track, const QString& error);
    void failTrack(RipTrack& track, const QString& error);
    void removePartial(RipTrack& track);
    void closeAudioFile();
    void closeAudioFileQuietly();
    void checkFinished();
    void writeReports();

    RipRequest m_request;
    const SettingsFile& m_settings;
    IAudioCDGrabber2& m_grabber;
    const TrackListModel& m_list;
    IAudioFile2LameEnc& m_lame;
    EncoderFactory m_factory;
    SpoolFile* m_spool;
    FreeDBEntry m_entry;
    std::vector<RipTrack> m_tracks;
    QString m_extension;
    QString m_error;
    QString m_reportError;
    QString m_lastDirectory;
    RipRecord m_record;
    std::optional<AccurateRipAnswer> m_accurateRip;
    std::unique_ptr<AccurateRipLookup> m_accurateRipLookup; // while the database is asked
    int m_discTracks = 0;
    int m_running = 0;      // encoders at work
    int m_reading = -1;     // position of the track being read
    std::size_t m_next = 0; // the next track to read
    bool m_started = false;
    bool m_stopped = false;
    bool m_finished = false;
    QStringList m_swept; // the folders rid of stale partial files
    QElapsedTimer m_clock;
    double m_totalSeconds = 0;
    QThreadPool m_pool;
};
