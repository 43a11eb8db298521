#include "cli/CliOptions.h"

#include <QHash>

namespace {

struct OptionSpec
{
    const char* shortName;
    const char* longName;
    bool takesValue;
};

constexpr OptionSpec Specs[] = {
    {"l", "list", false},
    {"d", "drive", true},
    {"f", "format", true},
    {"t", "tracks", true},
    {"o", "output", true},
    {nullptr, "scheme", true},
    {nullptr, "lookup", false},
    {"j", "jobs", true},
    {"q", "quiet", false},
    {"h", "help", false},
    {nullptr, "version", false},
    {nullptr, "no-log", false},
    {nullptr, "no-cue", false},
    {nullptr, "test-copy", false},
    {nullptr, "musicbrainz", false},
    {nullptr, "release", true},
    {nullptr, "no-accuraterip", false},
    {nullptr, "offset", true},
    {nullptr, "find-offset", false},
    {nullptr, "verify", false},
    {nullptr, "replaygain", false},
    {nullptr, "name", true},
    {nullptr, "no-playlist", false},
    {nullptr, "htoa", false},
    {nullptr, "deemphasis", false},
    {nullptr, "check-rip", true},
};

const OptionSpec* findOption(const QString& arg)
{
    for (const OptionSpec& spec : Specs) {
        if (arg == u"--" + QLatin1StringView(spec.longName))
            return &spec;
        if (spec.shortName && arg == u'-' + QLatin1StringView(spec.shortName))
            return &spec;
    }
    return nullptr;
}

std::optional<int> lookUp(const QHash<QString, int>& names, const QString& name)
{
    const auto it = names.constFind(name.toLower());
    return it == names.cend() ? std::nullopt : std::optional<int>(*it);
}

std::optional<OutputFormatNumber> formatNumber(const QString& name)
{
    static const QHash<QString, int> formats = {
        {QStringLiteral("mp3"), int(OutputFormatNumber::Mp3)},
        {QStringLiteral("wav"), int(OutputFormatNumber::Wav)},
        {QStringLiteral("wma"), int(OutputFormatNumber::Wma)},
        {QStringLiteral("ogg"), int(OutputFormatNumber::OggVorbis)},
        {QStringLiteral("flac"), int(OutputFormatNumber::Flac)},
        {QStringLiteral("opus"), int(OutputFormatNumber::Opus)},
        {QStringLiteral("aac"), int(OutputFormatNumber::Aac)}};
    const auto number = lookUp(formats, name);
    return number ? std::optional(static_cast<OutputFormatNumber>(*number)) : std::nullopt;
}

std::optional<int> schemeNumber(const QString& name)
{
    static const QHash<QString, int> schemes = {{QStringLiteral("none"), 0},
                                                {QStringLiteral("artist"), 1},
                                                {QStringLiteral("album"), 2},
                                                {QStringLiteral("artist-album"), 3}};
    return lookUp(schemes, name);
}

std::optional<int> positiveNumber(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value > 0 ? std::optional<int>(value) : std::nullopt;
}

// Applies one option with its value; returns the error text, empty when it was fine.
QString apply(CliOptions& o, const QString& name, const QString& value)
{
    if (name == u"list")
        o.list = true;
    else if (name == u"lookup")
        o.lookup = true;
    else if (name == u"musicbrainz")
        o.musicBrainz = true;
    else if (name == u"quiet")
        o.quiet = true;
    else if (name == u"help")
        o.help = true;
    else if (name == u"version")
        o.version = true;
    else if (name == u"no-log")
        o.log = false;
    else if (name == u"no-cue")
        o.cue = false;
    else if (name == u"test-copy")
        o.testCopy = true;
    else if (name == u"no-accuraterip")
        o.accurateRip = false;
    else if (name == u"find-offset")
        o.findOffset = true;
    else if (name == u"verify")
        o.verify = true;
    else if (name == u"replaygain")
        o.replayGain = true;
    else if (name == u"no-playlist")
        o.playlist = false;
    else if (name == u"htoa")
        o.hiddenTrack = true;
    else if (name == u"deemphasis")
        o.deEmphasis = true;
    else if (name == u"name")
        o.nameTemplate = value;
    else if (name == u"check-rip") {
        if (value.isEmpty())
            return QStringLiteral("--check-rip needs a cue sheet");
        o.checkRip = value;
    } else if (name == u"offset") {
        bool ok = false;
        const int offset = value.trimmed().toInt(&ok);
        if (!ok || offset < -3000 || offset > 3000)
            return QStringLiteral("--offset needs a number of samples from -3000 to 3000, not "
                                  "'%1'")
                .arg(value);
        o.offset = offset;
    } else if (name == u"drive") {
        if (value.isEmpty())
            return QStringLiteral("--drive needs a drive number or a disc image path");
        o.drive = value;
    } else if (name == u"format") {
        const auto format = formatNumber(value);
        if (!format)
            return QStringLiteral("unknown format '%1' (wma, mp3, ogg, wav, flac, opus or aac)")
                .arg(value);
        o.outputFormat = *format;
    } else if (name == u"tracks") {
        const auto tracks = parseTrackList(value);
        if (!tracks)
            return QStringLiteral("bad track list '%1' (for example 1,3-5)").arg(value);
        o.tracks = *tracks;
    } else if (name == u"output") {
        if (value.isEmpty())
            return QStringLiteral("--output needs a folder");
        o.output = value;
    } else if (name == u"scheme") {
        const auto scheme = schemeNumber(value);
        if (!scheme)
            return QStringLiteral("unknown folder scheme '%1' (none, artist, album or "
                                  "artist-album)")
                .arg(value);
        o.scheme = *scheme;
    } else if (name == u"release") {
        if (value.trimmed().isEmpty())
            return QStringLiteral("--release needs a release id or a number from the list");
        o.release = value.trimmed();
    } else if (name == u"jobs") {
        const auto jobs = positiveNumber(value);
        if (!jobs || *jobs > 64)
            return QStringLiteral("--jobs needs a number from 1 to 64, not '%1'").arg(value);
        o.jobs = *jobs;
    }
    return {};
}

} // namespace

std::optional<QList<int>> parseTrackList(const QString& text)
{
    QList<int> tracks;
    for (const QString& part : text.split(u',')) {
        const QStringList bounds = part.trimmed().split(u'-');
        if (bounds.size() > 2)
            return std::nullopt;
        const auto first = positiveNumber(bounds.front());
        const auto last = bounds.size() == 2 ? positiveNumber(bounds.back()) : first;
        if (!first || !last || *last < *first || *last - *first > 999)
            return std::nullopt;
        for (int n = *first; n <= *last; ++n)
            if (!tracks.contains(n))
                tracks.append(n);
    }
    return tracks;
}

ParsedOptions parseCliOptions(const QStringList& arguments)
{
    ParsedOptions result;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QString arg = arguments[i];
        QString value;
        bool inlineValue = false;
        if (arg.startsWith(u"--") && arg.contains(u'=')) {
            const qsizetype eq = arg.indexOf(u'=');
            value = arg.mid(eq + 1);
            arg = arg.left(eq);
            inlineValue = true;
        }
        const OptionSpec* spec = findOption(arg);
        // A short option's value may be attached, as in "-j1" or "-t3-5".
        if (!spec && !inlineValue && arg.size() > 2 && arg.startsWith(u'-') &&
            !arg.startsWith(u"--")) {
            const OptionSpec* shortSpec = findOption(arg.left(2));
            if (shortSpec && shortSpec->takesValue) {
                spec = shortSpec;
                value = arg.mid(2);
                arg = arg.left(2);
                inlineValue = true;
            }
        }
        if (!spec) {
            result.error = QStringLiteral("unknown option '%1'").arg(arguments[i]);
            return result;
        }
        if (spec->takesValue && !inlineValue) {
            if (i + 1 >= arguments.size()) {
                result.error = QStringLiteral("option '%1' needs a value").arg(arg);
                return result;
            }
            value = arguments[++i];
        } else if (!spec->takesValue && inlineValue) {
            result.error = QStringLiteral("option '%1' takes no value").arg(arg);
            return result;
        }
        result.error = apply(result.options, QLatin1StringView(spec->longName), value);
        if (!result.error.isEmpty())
            return result;
    }
    return result;
}

QString cliUsage()
{
    return QStringLiteral(
        "Usage: tunecrest-rip [options]\n"
        "Rips the tracks of an audio CD (or a disc image) into tagged audio files.\n"
        "\n"
        "  -l, --list              list the drives, then the tracks of the disc in the chosen "
        "drive\n"
        "  -d, --drive N|IMAGE     1-based drive number (default: the last drive) or a disc "
        "image path\n"
        "  -f, --format wma|mp3|ogg|wav|flac|opus|aac  output format (default wma)\n"
        "  -t, --tracks LIST       tracks to rip, e.g. 1,3-5 (default: all)\n"
        "  -o, --output DIR        output folder (default: Main/Path of the settings file)\n"
        "      --scheme none|artist|album|artist-album   folder scheme (default: Main/Output)\n"
        "      --name TEMPLATE     how files are named, without extension: %N number (two\n"
        "                          digits), %n number, %T title, %A artist, %B album artist,\n"
        "                          %L album, %Y year, %G genre, %D disc number, %% a percent\n"
        "                          sign; '/' makes sub-folders (default: Main/FileTemplate,\n"
        "                          else the title alone)\n"
        "      --lookup            look the disc up in CDDB first (the Freedb settings), then\n"
        "                          in MusicBrainz when CDDB has nothing\n"
        "      --musicbrainz       look the disc up in MusicBrainz only\n"
        "      --release ID|N      of several releases take the one with this MusicBrainz id,\n"
        "                          or the N-th of the list (default: the first)\n"
        "  -j, --jobs N            tracks encoded at once (default: the number of cores)\n"
        "      --test-copy         read each track twice and compare the CRCs\n"
        "      --offset N          the drive's read offset in samples, -3000 to 3000\n"
        "                          (default: Main/ReadOffset)\n"
        "      --find-offset       read the disc once, find the read offset whose checksums\n"
        "                          the AccurateRip database confirms, print it; writes nothing\n"
        "      --verify            read every track at full speed (Burst) and again in\n"
        "                          Paranoid mode only when AccurateRip does not confirm it\n"
        "      --no-accuraterip    do not check the rip against the AccurateRip database\n"
        "      --replaygain        tag track and album ReplayGain (default: Main/ReplayGain)\n"
        "      --htoa              rip the audio hidden before track 1 as track 0\n"
        "      --deemphasis        remove the pre-emphasis of tracks the disc flags\n"
        "                          (default: Main/RemoveEmphasis)\n"
        "      --check-rip SHEET   check the files of an earlier rip's cue sheet against its\n"
        "                          log and the AccurateRip database; rips nothing\n"
        "      --no-log            write no rip log\n"
        "      --no-cue            write no cue sheet\n"
        "      --no-playlist       write no playlist (default: Main/Playlist)\n"
        "  -q, --quiet             no progress output\n"
        "  -h, --help              this text\n"
        "      --version           the program's version\n"
        "\n"
        "Every other setting (WMA format, MP3, Ogg, WAV and FLAC options, read mode, retries,\n"
        "error action, AccurateRip) comes from the settings file the window uses.\n"
        "\n"
        "A rip log, a cue sheet and a playlist named after the album go in the folder of the\n"
        "first track.\n"
        "\n"
        "Exit codes: 0 all tracks ripped, 1 some track failed or its test and copy CRCs\n"
        "differ, 2 usage error,\n"
        "3 no drive, empty drive or no audio disc, 130 interrupted.\n");
}
