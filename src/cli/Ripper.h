#pragma once

#include "cli/CliOptions.h"
#include "rip/RipEngine.h"
#include "rip/TrackListModel.h"

#include <QObject>

#include <memory>

class IAudioCDGrabber2;
class IAudioFile2LameEnc;
class ProgressReporter;
class SettingsFile;
class SpoolFile;

/// The terminal's rip: the rip engine over the disc's tracks as the command line asks for them,
/// its events told through the reporter, its outcome an exit code. A failed track fails alone,
/// an interrupt removes every unfinished file, and the output folder is made with its parents.
class Ripper final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Ripper)
public:
    /// With more than one job, spool is the grabber's audio file and factory makes the encoders.
    Ripper(const CliOptions& options, const SettingsFile& settings, IAudioCDGrabber2& grabber,
           EncoderFactory factory, ProgressReporter& reporter, SpoolFile* spool = nullptr);
    ~Ripper() override;

    /// Reads the disc's tracks and picks the requested ones. Throws ComponentError when a
    /// requested track is not on the disc.
    void prepare();
    /// The entry a lookup loaded: its identifiers and cover go into the files' tags.
    void setLookedUpEntry(const FreeDBEntry& entry);
    /// Rips, waiting in the event loop; returns the exit code. Throws ComponentError when the
    /// rip cannot start (an output folder that cannot be made or written).
    int run();
    /// Stops at once: unfinished files are removed, and run() returns exitCode.
    void interrupt(int exitCode = ExitCode::Interrupted);

    const std::vector<RipTrack>& tracks() const { return m_engine->tracks(); }
    /// What writing the log or the cue sheet failed on; empty when nothing did.
    const QString& reportError() const { return m_engine->reportError(); }

private:
    int exitCode() const;

    const CliOptions& m_options;
    const SettingsFile& m_settings;
    IAudioCDGrabber2& m_grabber;
    ProgressReporter& m_reporter;
    TrackListModel m_list;
    std::unique_ptr<IAudioFile2LameEnc> m_lame;
    std::unique_ptr<RipEngine> m_engine;
    int m_interruptCode = 0;
};
