#pragma once

#include "rip/OutputFormatNumber.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

/// Exit codes of tunecrest-rip.
namespace ExitCode {
inline constexpr int Ok = 0;
inline constexpr int TrackFailed = 1; // also: an error that stopped the whole rip
inline constexpr int Usage = 2;
inline constexpr int NoDisc = 3;
inline constexpr int Interrupted = 130;
} // namespace ExitCode

/// What the command line asks for.
struct CliOptions
{
    bool list = false;
    QString drive; // a 1-based number or a disc image path; empty: the last drive
    OutputFormatNumber outputFormat = OutputFormatNumber::Wma;
    QList<int> tracks; // 1-based, in order; empty: all
    QString output;    // empty: the stored output folder
    std::optional<int> scheme;
    bool lookup = false;
    bool musicBrainz = false; // look up in MusicBrainz only
    QString release; // a release's MBID or its 1-based number in the list; empty: the first
    int jobs = 0;    // 0: the number of cores
    bool quiet = false;
    bool log = true;           // a rip log beside the files
    bool cue = true;           // a cue sheet beside the files
    bool testCopy = false;     // each track read twice, the CRCs compared
    bool accurateRip = true;   // the rip checked against the AccurateRip database (and the setting)
    std::optional<int> offset; // the read offset in samples; unset: the stored one
    bool findOffset = false;   // find the read offset, rip nothing
    bool verify = false;       // Burst first, Paranoid for tracks that do not verify
    bool replayGain = false;   // ReplayGain tags (and the setting)
    bool playlist = true;      // a playlist beside the files (and the setting)
    bool hiddenTrack = false;  // the audio before track 1, ripped as track 0
    bool deEmphasis = false;   // pre-emphasised tracks de-emphasised (and the setting)
    std::optional<QString> nameTemplate; // unset: the stored one
    QString checkRip;                    // a cue sheet of an earlier rip to check; empty: rip
    bool help = false;
    bool version = false;
};

/// The options, or the usage error that stops the program.
struct ParsedOptions
{
    CliOptions options;
    QString error;
};

ParsedOptions parseCliOptions(const QStringList& arguments);

/// "1,3-5" → 1, 3, 4, 5 (each once, in the order given); nullopt for anything else.
std::optional<QList<int>> parseTrackList(const QString& text);

/// The --help text.
QString cliUsage();
