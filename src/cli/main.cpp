#include "base/ComponentError.h"
#include "base/IAudioCDGrabber2.h"
#include "cli/CliOptions.h"
#include "cli/DiscLookup.h"
#include "cli/FindOffset.h"
#include "cli/ProgressReporter.h"
#include "cli/Ripper.h"
#include "cli/SignalWatcher.h"
#include "components/audiofile/QueuedAudioFile.h"
#include "components/audiofile/SpoolFile.h"
#include "components/audiofile/TAudioFile2.h"
#include "components/audiofile/TAudioFile2LameEnc.h"
#include "components/grabber/AccurateRipChecksum.h"
#include "components/grabber/AudioCDGrabber.h"
#include "components/grabber/ReadHeap.h"
#include "components/lookup/AccurateRip.h"
#include "components/lookup/LookupChain.h"
#include "components/lookup/MusicBrainzInformation.h"
#include "components/lookup/TFreeDBInformation2.h"
#include "rip/EncoderConfiguration.h"
#include "rip/RipCheck.h"
#include "rip/TrackRecords.h"
#include "settings/Locations.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <QThread>

#include <csignal>
#include <unistd.h>

namespace {

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& err()
{
    static QTextStream stream(stderr);
    return stream;
}

int fail(int code, const QString& message)
{
    err() << "tunecrest-rip: " << message << '\n';
    if (code == ExitCode::Usage)
        err() << "Try 'tunecrest-rip --help' for more information.\n";
    return code;
}

bool isDriveNumber(const QString& text)
{
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
}

QString stateText(DriveState state)
{
    switch (state) {
    case DriveState::Empty:
        return QStringLiteral("empty");
    case DriveState::AudioDisc:
        return QStringLiteral("audio disc");
    case DriveState::DataDisc:
        return QStringLiteral("data disc");
    }
    return {};
}

void listDrives(const IAudioCDGrabber2& grabber)
{
    out() << "Drives:\n";
    for (int n = 1; n <= grabber.DeviceCount(); ++n) {
        const DriveDescription d = grabber.describeDrive(n);
        const QString marker =
            n == grabber.currentDevice() ? QStringLiteral("*") : QStringLiteral(" ");
        out() << QStringLiteral("  %1%2 %3 %4 %5 (%6): %7\n")
                     .arg(QString::number(n), marker, printable(d.text1), printable(d.text2),
                          printable(d.text3), printable(d.tag), stateText(grabber.driveState(n)));
    }
}

QString minutesSeconds(int sectors)
{
    const int seconds = sectors / 75;
    return QStringLiteral("%1:%2")
        .arg(seconds / 60, 2, 10, QChar(u'0'))
        .arg(seconds % 60, 2, 10, QChar(u'0'));
}

void listTracks(IAudioCDGrabber2& grabber)
{
    out() << "Tracks:\n";
    if (grabber.hiddenTrackSectors() > 0)
        out() << QStringLiteral("   0  %1  (audio before track 1; --htoa rips it)\n")
                     .arg(minutesSeconds(grabber.hiddenTrackSectors()));
    for (int i = 0; i < grabber.TrackCount(); ++i) {
        const TrackRow row = readTrackRow(grabber, i);
        out() << QStringLiteral("  %1  %2  %3  %4  %5%6\n")
                     .arg(i + 1, 2)
                     .arg(minutesSeconds(row.sectors), printable(row.caption),
                          printable(row.record.Artist), printable(row.record.Album),
                          grabber.trackPreEmphasis() ? QStringLiteral("  [pre-emphasis]")
                                                     : QString());
    }
}

void listReleases(const QList<MusicBrainzReleaseSummary>& releases)
{
    err() << "tunecrest-rip: MusicBrainz has " << releases.size() << " releases of this disc:\n";
    for (qsizetype i = 0; i < releases.size(); ++i) {
        const MusicBrainzReleaseSummary& r = releases.at(i);
        err() << QStringLiteral("  %1  %2 / %3  %4 %5  %6 %7  %8  %9\n")
                     .arg(QString::number(i + 1), printable(r.artist), printable(r.title),
                          printable(r.date), printable(r.country), printable(r.label),
                          printable(r.catalogNumber), printable(r.barcode), printable(r.id));
    }
}

// The release --release names: its id, or its number in the list; the first without one.
int chooseRelease(const QList<MusicBrainzReleaseSummary>& releases, const QString& wanted)
{
    if (wanted.isEmpty())
        return 0;
    bool number = false;
    const int n = wanted.toInt(&number);
    if (number && n >= 1 && n <= releases.size())
        return n - 1;
    for (qsizetype i = 0; i < releases.size(); ++i)
        if (releases.at(i).id.compare(wanted, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    err() << "tunecrest-rip: warning: no release of the list matches --release "
          << printable(wanted) << '\n';
    return -1;
}

// Looks the disc up: CDDB then MusicBrainz, or MusicBrainz alone. The texts of an entry then
// name and tag the files; the entry's identifiers and cover go into entry. Without an entry the
// rip goes on with the disc's own texts.
void lookUp(const QString& settingsPath, const CliOptions& options, IAudioCDGrabber2& grabber,
            std::optional<FreeDBEntry>& entry)
{
    auto musicBrainz = std::make_unique<MusicBrainzInformation>(settingsPath);
    musicBrainz->setChooser([&options](const QList<MusicBrainzReleaseSummary>& releases) {
        if (!options.quiet)
            listReleases(releases);
        return chooseRelease(releases, options.release);
    });
    std::unique_ptr<IFreeDBInformation2> info;
    if (options.musicBrainz)
        info = std::move(musicBrainz);
    else
        info = std::make_unique<LookupChain>(settingsPath,
                                             std::make_unique<TFreeDBInformation2>(settingsPath),
                                             std::move(musicBrainz));
    QObject::connect(info.get(), &IFreeDBInformation2::entryLoaded, info.get(),
                     [&entry](const FreeDBEntry& loaded) { entry = loaded; });
    const int status = lookUpDisc(grabber, *info, [&options](const QString& line) {
        if (!options.quiet)
            err() << "tunecrest-rip: " << printable(line) << '\n';
    });
    if (!FreeDBStatus::isLoaded(status)) {
        entry.reset();
        err() << "tunecrest-rip: warning: "
              << (status == FreeDBStatus::ConnectionFailed ||
                          status == FreeDBStatus::MusicBrainzFailed
                      ? "the lookup failed"
                      : "no entry for this disc")
              << "; the disc's own texts are used\n";
    }
    err().flush();
}

// Asks the database for the disc, saying what it answered unless quiet.
AccurateRipAnswer askAccurateRip(const QString& settingsPath, const CliOptions& options,
                                 const TAudioCDGrabber2& grabber)
{
    const AccurateRipAnswer answer =
        fetchAccurateRip(settingsPath, accurateRipDiscId(grabber.freeDBDisc()));
    if (!options.quiet)
        err() << "tunecrest-rip: " << answer.logLine() << '\n';
    err().flush();
    return answer;
}

// Reads every track once and prints the read offset the database confirms best.
int findOffset(const QString& settingsPath, const CliOptions& options, TAudioCDGrabber2& grabber)
{
    const AccurateRipAnswer answer = askAccurateRip(settingsPath, options, grabber);
    if (!answer.found())
        return fail(ExitCode::TrackFailed,
                    QStringLiteral("the read offset is found by the AccurateRip database's "
                                   "checksums, and it has none for this disc"));
    const FoundOffset found =
        findReadOffset(answer, grabber.TrackCount(), MaxReadOffset, [&](int index, int margin) {
            if (!options.quiet)
                err() << "tunecrest-rip: reading track " << index + 1 << " of "
                      << grabber.TrackCount() << '\n';
            err().flush();
            return grabber.readAtAllOffsets(index, margin);
        });
    if (found.confidence == 0)
        return fail(ExitCode::TrackFailed,
                    QStringLiteral("no read offset within %1 samples gives checksums that the "
                                   "database confirms")
                        .arg(MaxReadOffset));
    out() << QStringLiteral("Read offset: %1 (%2 of %3 tracks confirmed, confidence %4)\n")
                 .arg(found.offset)
                 .arg(found.tracks)
                 .arg(grabber.TrackCount())
                 .arg(found.confidence);
    out().flush();
    return ExitCode::Ok;
}

// Checks the rip a cue sheet describes against its log and the AccurateRip database.
int checkRip(const CliOptions& options)
{
    const QFileInfo sheet(options.checkRip);
    if (!sheet.isFile())
        return fail(
            ExitCode::Usage,
            QStringLiteral("%1 is not a cue sheet that exists").arg(printable(options.checkRip)));
    TAudioCDGrabber2 grabber(std::make_unique<TAudioFile2>());
    grabber.CurrentDevice(grabber.addImageDrive(sheet.absoluteFilePath()));
    RipCheckResult result;
    try {
        result = checkRip(grabber, Locations::settingsFilePath(), sheet.absoluteFilePath());
    } catch (const ComponentError& e) {
        return fail(ExitCode::Usage, e.message());
    }
    out() << (result.log.isEmpty() ? QStringLiteral("No rip log beside the sheet.\n")
                                   : QStringLiteral("Rip log: %1\n").arg(printable(result.log)));
    if (!result.accurateRip.isEmpty())
        out() << printable(result.accurateRip) << '\n';
    bool failed = false;
    for (const RipCheckTrack& track : result.tracks) {
        out() << printable(ripCheckLine(track)) << '\n';
        failed = failed || track.fails();
    }
    out().flush();
    return failed ? ExitCode::TrackFailed : ExitCode::Ok;
}

int rip(const CliOptions& options)
{
    const QString settingsPath = Locations::settingsFilePath();
    SettingsFile settings(settingsPath);
    if (!settings.problem().isEmpty())
        err() << "tunecrest-rip: warning: " << printable(settings.problem())
              << "; the default settings are used\n";
    std::unique_ptr<IAudioFile2> grabberFile;
    SpoolFile* spool = nullptr;
    if (options.jobs > 1) {
        auto spoolFile = std::make_unique<SpoolFile>();
        spool = spoolFile.get();
        grabberFile = std::move(spoolFile);
    } else {
        grabberFile = std::make_unique<QueuedAudioFile>(std::make_unique<TAudioFile2>());
    }
    TAudioCDGrabber2 grabber(std::move(grabberFile));
    grabber.Initialize();
    int drive = grabber.DeviceCount();
    // A path named on the command line is a drive of its own: a device, or a disc image added
    // after the other drives.
    if (!options.drive.isEmpty() && !isDriveNumber(options.drive)) {
        const QFileInfo named(options.drive);
        if (!named.exists())
            return fail(ExitCode::Usage,
                        QStringLiteral("%1 does not exist").arg(printable(options.drive)));
        drive = grabber.addDrive(named.absoluteFilePath());
    }
    if (grabber.DeviceCount() < 1)
        return fail(ExitCode::NoDisc, QStringLiteral("no CD drive found"));
    if (isDriveNumber(options.drive)) {
        drive = options.drive.toInt();
        if (drive < 1 || drive > grabber.DeviceCount())
            return fail(ExitCode::Usage, QStringLiteral("there is no drive %1 (%2 found)")
                                             .arg(options.drive)
                                             .arg(grabber.DeviceCount()));
    }
    grabber.CurrentDevice(drive);
    if (options.list)
        listDrives(grabber);

    const DriveState state = grabber.driveState(drive);
    if (state == DriveState::Empty) {
        const QString problem = grabber.driveProblem(drive);
        return fail(ExitCode::NoDisc,
                    problem.isEmpty() ? QStringLiteral("drive %1 is empty").arg(drive) : problem);
    }
    if (state == DriveState::DataDisc)
        return fail(ExitCode::NoDisc, QStringLiteral("drive %1 holds no audio disc").arg(drive));

    applyGrabOptions(settings, grabber);
    if (options.offset)
        grabber.setReadOffset(*options.offset);
    if (options.verify && !options.accurateRip)
        return fail(ExitCode::Usage,
                    QStringLiteral("--verify checks the tracks against AccurateRip, which "
                                   "--no-accuraterip turns off"));
    if (options.findOffset && !options.accurateRip)
        return fail(ExitCode::Usage,
                    QStringLiteral("--find-offset needs AccurateRip, which --no-accuraterip "
                                   "turns off"));
    try {
        grabber.ReadDisc();
    } catch (const ComponentError& e) {
        return fail(ExitCode::NoDisc, QString::fromUtf8(e.what()));
    }
    if (grabber.TrackCount() < 1)
        return fail(ExitCode::NoDisc, QStringLiteral("drive %1 holds no audio disc").arg(drive));
    if (!options.release.isEmpty() && !options.lookup && !options.musicBrainz)
        return fail(ExitCode::Usage, QStringLiteral("--release needs --lookup or --musicbrainz"));
    std::optional<FreeDBEntry> entry;
    if (options.lookup || options.musicBrainz)
        lookUp(settingsPath, options, grabber, entry);
    if (options.list) {
        listTracks(grabber);
        return ExitCode::Ok;
    }
    if (options.findOffset)
        return findOffset(settingsPath, options, grabber);

    const bool terminal = isatty(STDOUT_FILENO) == 1;
    ProgressReporter reporter(out(), err(), options.quiet, terminal);
    Ripper ripper(options, settings, grabber,
                  {[] { return std::make_unique<TAudioFile2>(); },
                   [] { return std::make_unique<TAudioFile2LameEnc>(); }},
                  reporter, spool);
    try {
        ripper.prepare();
    } catch (const ComponentError& e) {
        return fail(ExitCode::Usage, e.message());
    }
    if (entry)
        ripper.setLookedUpEntry(*entry);
    SignalWatcher interrupts;
    QObject::connect(&interrupts, &SignalWatcher::interrupted, &ripper,
                     [&ripper] { ripper.interrupt(); });
    bool outputClosed = false;
    reporter.setOutputClosedHandler([&] {
        outputClosed = true;
        ripper.interrupt(ExitCode::TrackFailed);
    });
    const int code = ripper.run();
    for (const RipTrack& track : ripper.tracks())
        if (track.record.crcMismatch())
            err() << "tunecrest-rip: track " << track.number
                  << ": test and copy CRCs differ; the file is kept\n";
    if (!ripper.reportError().isEmpty())
        err() << "tunecrest-rip: warning: " << printable(ripper.reportError()) << '\n';
    if (outputClosed)
        err() << "tunecrest-rip: standard output was closed; unfinished files removed\n";
    else if (code == ExitCode::Interrupted)
        err() << "tunecrest-rip: interrupted; unfinished files removed\n";
    return code;
}

} // namespace

int main(int argc, char* argv[])
{
    tuneHeapForSecureReads();
    // A closed pipe or terminal shows as a failed write, which ends the rip cleanly, instead of
    // killing the program between two writes of a file.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tunecrest-rip"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TUNECREST_VERSION));

    ParsedOptions parsed = parseCliOptions(QCoreApplication::arguments());
    if (!parsed.error.isEmpty())
        return fail(ExitCode::Usage, parsed.error);
    CliOptions& options = parsed.options;
    if (options.help) {
        out() << cliUsage();
        return ExitCode::Ok;
    }
    if (options.version) {
        out() << "tunecrest-rip " << QCoreApplication::applicationVersion() << '\n';
        return ExitCode::Ok;
    }
    if (options.jobs == 0)
        options.jobs = std::max(1, QThread::idealThreadCount());

    try {
        if (!options.checkRip.isEmpty())
            return checkRip(options);
        return rip(options);
    } catch (const std::exception& e) {
        return fail(ExitCode::TrackFailed, QString::fromUtf8(e.what()));
    }
}
