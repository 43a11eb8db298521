#include "rip/RipLog.h"

#include "base/ComponentError.h"
#include "base/PlainText.h"
#include "rip/EncoderConfiguration.h"
#include "rip/OutputNaming.h"
#include "rip/TrackFile.h"
#include "rip/TwoDigits.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsKeys.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>

namespace {

constexpr int SectorsPerSecond = 75;

// mm:ss:ff, as cue sheets count: minutes, seconds and sectors.
QString cueTime(int sectors)
{
    return TwoDigits(sectors / SectorsPerSecond / 60) + u':' +
           TwoDigits(sectors / SectorsPerSecond % 60) + u':' +
           TwoDigits(sectors % SectorsPerSecond);
}

// m:ss.ff for the log's table.
QString logTime(int sectors)
{
    return QStringLiteral("%1:%2.%3")
        .arg(sectors / SectorsPerSecond / 60)
        .arg(TwoDigits(sectors / SectorsPerSecond % 60), TwoDigits(sectors % SectorsPerSecond));
}

QString crcText(quint32 crc)
{
    return QStringLiteral("%1").arg(crc, 8, 16, QLatin1Char('0')).toUpper();
}

// A quoted cue sheet value: the sheet has no escapes, so a quote becomes an apostrophe; line
// breaks would end the command, and other control characters would reach whoever shows it.
QString quoted(const QString& text)
{
    QString value = plainText(text);
    value.replace(u'"', u'\'');
    return u'"' + value + u'"';
}

void addQuoted(QStringList& lines, const QString& command, const QString& text)
{
    if (!text.isEmpty())
        lines << command + u' ' + quoted(text);
}

QString fileType(const QString& file)
{
    return file.endsWith(QLatin1String(".mp3"), Qt::CaseInsensitive) ? QStringLiteral("MP3")
                                                                     : QStringLiteral("WAVE");
}

QString outcomeText(RipRecord::Outcome outcome)
{
    switch (outcome) {
    case RipRecord::Outcome::Complete:
        return QStringLiteral("completed");
    case RipRecord::Outcome::Failed:
        return QStringLiteral("ended with errors");
    case RipRecord::Outcome::Interrupted:
        return QStringLiteral("was interrupted");
    }
    return {};
}

QString unreadableText(const GrabReport& report, const QString& errorAction)
{
    QStringList sectors;
    for (const int sector : report.unreadable)
        sectors << QString::number(sector);
    return QStringLiteral("%1 (%2)").arg(sectors.join(QStringLiteral(", ")), errorAction);
}

QString gainText(const ReplayGainValues& values)
{
    return QStringLiteral("%1 dB, peak %2")
        .arg(QString::asprintf("%+.2f", values.gain), QString::number(values.peak, 'f', 6));
}

QString resultLine(const RipTrackRecord& track, bool testCopy)
{
    if (track.stopped)
        return QStringLiteral("Stopped: the file holds the audio read before the stop");
    if (!track.error.isEmpty())
        return QStringLiteral("Failed: ") + track.error;
    if (track.file.isEmpty())
        return QStringLiteral("Not ripped");
    if (track.crcMismatch())
        return QStringLiteral("Test and copy CRCs differ: the file may hold read errors");
    if (testCopy && track.test)
        return QStringLiteral("Test and copy OK");
    return QStringLiteral("Copy OK");
}

void addTrack(QStringList& lines, const RipTrackRecord& track, const RipRecord& rip)
{
    lines << QString() << QStringLiteral("Track %1").arg(TwoDigits(track.toc.number));
    lines << QStringLiteral("  File: %1")
                 .arg(track.file.isEmpty() ? QStringLiteral("(none)") : track.file);
    if (track.copy) {
        lines << QStringLiteral("  Peak level: %1 %")
                     .arg(track.copy->peak * 100.0 / 32768.0, 0, 'f', 1);
        lines << QStringLiteral("  Copy CRC: %1").arg(crcText(track.copy->crc));
    }
    if (track.test)
        lines << QStringLiteral("  Test CRC: %1").arg(crcText(track.test->crc));
    if (track.copy && !rip.accurateRip.isEmpty())
        lines << QStringLiteral("  AccurateRip checksums: v1 %1, v2 %2")
                     .arg(crcText(track.copy->accurateRip.v1), crcText(track.copy->accurateRip.v2));
    if (!track.accurateRip.isEmpty())
        lines << QStringLiteral("  AccurateRip: %1").arg(track.accurateRip);
    if (!track.readPath.isEmpty())
        lines << QStringLiteral("  Read: %1").arg(track.readPath);
    if (track.toc.preEmphasis)
        lines << QStringLiteral("  Pre-emphasis: yes%1")
                     .arg(track.copy && track.copy->deEmphasized
                              ? QStringLiteral(", removed (de-emphasised)")
                              : QStringLiteral(", kept"));
    if (track.trackGain)
        lines << QStringLiteral("  ReplayGain: track %1").arg(gainText(*track.trackGain));
    if (track.albumGain)
        lines << QStringLiteral("  ReplayGain: album %1").arg(gainText(*track.albumGain));
    if (track.copy && !track.copy->unreadable.isEmpty())
        lines << QStringLiteral("  Unreadable sectors: %1")
                     .arg(unreadableText(*track.copy, rip.errorAction));
    else if (track.copy)
        lines << QStringLiteral("  Unreadable sectors: none");
    lines << QStringLiteral("  Result: %1").arg(resultLine(track, rip.testCopy));
}

QString summaryLine(const RipRecord& rip)
{
    int ok = 0;
    int mismatched = 0;
    for (const RipTrackRecord& track : rip.tracks) {
        ok += track.ok() ? 1 : 0;
        mismatched += track.crcMismatch() ? 1 : 0;
    }
    QString line = QStringLiteral("Summary: %1 of %2 tracks ripped without errors; the rip %3")
                       .arg(ok)
                       .arg(rip.tracks.size())
                       .arg(outcomeText(rip.outcome));
    if (mismatched > 0)
        line += QStringLiteral("; test and copy CRCs differ for %1 track(s)").arg(mismatched);
    return line + u'.';
}

const char* const ErrorActionNames[] = {"Stop", "Silence", "Cut"};

QString driveText(const IAudioCDGrabber2& grabber)
{
    const DriveDescription drive = grabber.describeDrive(grabber.currentDevice());
    if (drive.text1 == u"Disc Image")
        return QStringLiteral("disc image ") + drive.tag;
    return QStringLiteral("%1 %2 (%3)").arg(drive.text1, drive.text2, drive.tag).simplified();
}

// Every stored key of the format's sections, as the file holds them: the encoder reads no other.
QString storedSettings(const SettingsFile& settings, std::initializer_list<const char*> sections)
{
    QStringList parts;
    for (const char* section : sections)
        for (const auto& [key, value] : settings.readSection(QLatin1String(section)))
            parts << QStringLiteral("%1/%2=%3").arg(QLatin1String(section), key, value);
    return parts.isEmpty() ? QStringLiteral("defaults") : parts.join(QStringLiteral(", "));
}

QString formatText(const SettingsFile& settings, OutputFormatNumber format)
{
    using namespace Keys;
    switch (format) {
    case OutputFormatNumber::Flac:
        return QStringLiteral("FLAC, compression level %1, verify %2")
            .arg(storedFlacLevel(settings))
            .arg(settings.read(Flac::Verify) ? QStringLiteral("on") : QStringLiteral("off"));
    case OutputFormatNumber::Mp3:
        return QStringLiteral("MP3, ") +
               storedSettings(settings, {Mp3::Section, Mp3Vbr::Section, Mp3Filt::Section,
                                         Mp3Expert::Section, Mp3Prest::Section});
    case OutputFormatNumber::Wav:
        return QStringLiteral("WAV, ") + storedSettings(settings, {Wav::Section});
    case OutputFormatNumber::Wma:
        return QStringLiteral("WMA, ") + storedSettings(settings, {Wma::Section});
    case OutputFormatNumber::OggVorbis:
        return QStringLiteral("Ogg Vorbis, ") + storedSettings(settings, {Ogg::Section});
    case OutputFormatNumber::Opus:
        return QStringLiteral("Opus, ") + storedSettings(settings, {Opus::Section});
    case OutputFormatNumber::Aac:
        return QStringLiteral("AAC, ") + storedSettings(settings, {Aac::Section});
    case OutputFormatNumber::RealMedia:
        return QStringLiteral("RealMedia");
    }
    return {};
}

} // namespace

RipRecord beginRipRecord(const SettingsFile& settings, IAudioCDGrabber2& grabber,
                         OutputFormatNumber format)
{
    RipRecord rip;
    rip.date = QDateTime::currentDateTime();
    rip.drive = driveText(grabber);
    const StoredGrabOptions options = storedGrabOptions(settings);
    rip.readMode = readModeName(options.mode);
    rip.retries = options.retries;
    rip.errorAction = QLatin1String(ErrorActionNames[options.errorAction]);
    rip.readOffset = options.offset;
    rip.format = formatText(settings, format);
    rip.catalog = grabber.discCatalog();
    rip.hiddenTrackSectors = grabber.hiddenTrackSectors();
    for (int index = 0; index < grabber.TrackCount(); ++index) {
        grabber.CurrentTrack(index);
        rip.toc.append({index + 1, grabber.trackStartSector(), grabber.trackSectors(),
                        grabber.trackPregapSectors(), grabber.trackPreEmphasis()});
    }
    return rip;
}

RipTrackRecord hiddenTrackRecord(const RipRecord& rip, IAudioCDGrabber2& grabber,
                                 const QString& title, const QString& performer)
{
    RipTrackRecord track;
    grabber.selectHiddenTrack();
    track.toc = {0, 0, rip.hiddenTrackSectors, 0, grabber.trackPreEmphasis()};
    track.title = title;
    track.performer = performer;
    return track;
}

RipTrackRecord trackRecordFor(const RipRecord& rip, IAudioCDGrabber2& grabber, int number,
                              const QString& title, const QString& performer)
{
    RipTrackRecord track;
    track.toc = rip.toc.value(number - 1);
    grabber.CurrentTrack(number - 1);
    track.isrc = grabber.trackIsrc();
    track.title = title;
    track.performer = performer;
    return track;
}

void writeRipReports(const RipRecord& rip, const QString& fallback, const RipReports& reports)
{
    const QString folder = ripReportFolder(rip, fallback);
    QStringList problems;
    const auto write = [&](const QString& extension, const QString& text) {
        try {
            writeRipFile(folder, rip.album, extension, text);
        } catch (const std::exception& e) {
            problems << QString::fromUtf8(e.what());
        }
    };
    if (reports.log)
        write(QStringLiteral(".log"), ripLogText(rip));
    const bool anyFile = std::any_of(rip.tracks.begin(), rip.tracks.end(),
                                     [](const RipTrackRecord& t) { return !t.file.isEmpty(); });
    if (reports.cue && anyFile)
        write(QStringLiteral(".cue"), cueSheetText(rip, folder));
    if (reports.playlist && anyFile)
        write(QStringLiteral(".m3u8"), playlistText(rip, folder));
    if (!problems.isEmpty())
        throw ComponentError(problems.join(QStringLiteral("; ")));
}

QString ripLogText(const RipRecord& rip)
{
    QStringList lines;
    lines << QStringLiteral("%1 %2").arg(rip.program, rip.version).trimmed();
    lines << QStringLiteral("Date: %1").arg(rip.date.toString(Qt::ISODate));
    lines << QString();
    lines << QStringLiteral("Drive: %1").arg(rip.drive);
    lines << QStringLiteral("Read mode: %1").arg(rip.readMode);
    lines << QStringLiteral("Retries: %1").arg(rip.retries);
    lines << QStringLiteral("Error action: %1").arg(rip.errorAction);
    lines << QStringLiteral("Read offset: %1").arg(rip.readOffset);
    lines << QStringLiteral("Test and copy: %1")
                 .arg(rip.testCopy ? QStringLiteral("on") : QStringLiteral("off"));
    lines << QStringLiteral("Output format: %1").arg(rip.format);
    lines << QString();
    lines << QStringLiteral("Album: %1").arg(rip.album);
    lines << QStringLiteral("Performer: %1").arg(rip.performer);
    if (!rip.discId.isEmpty())
        lines << QStringLiteral("Disc id: %1").arg(rip.discId);
    if (!rip.catalog.isEmpty())
        lines << QStringLiteral("Catalog: %1").arg(rip.catalog);
    if (!rip.accurateRip.isEmpty())
        lines << rip.accurateRip;
    if (rip.hiddenTrackSectors > 0)
        lines << QStringLiteral("Hidden track one audio: %1 before track 1 (sectors 0 to %2)")
                     .arg(logTime(rip.hiddenTrackSectors))
                     .arg(rip.hiddenTrackSectors - 1);
    lines << QString() << QStringLiteral("Table of contents")
          << QStringLiteral("  Track |    Start |   Length | First sector | Last sector");
    for (const RipTocEntry& t : rip.toc)
        lines << QStringLiteral("  %1 | %2 | %3 | %4 | %5")
                     .arg(t.number, 5)
                     .arg(logTime(t.startSector), 8)
                     .arg(logTime(t.sectors), 8)
                     .arg(t.startSector, 12)
                     .arg(t.startSector + t.sectors - 1, 11);
    for (const RipTrackRecord& track : rip.tracks)
        addTrack(lines, track, rip);
    lines << QString() << summaryLine(rip);
    // Texts from the disc, a lookup or the tag editor: no control characters reach a reader.
    for (QString& line : lines)
        line = plainText(line);
    return lines.join(u'\n') + u'\n';
}

QString cueSheetText(const RipRecord& rip, const QString& folder)
{
    QStringList lines;
    addQuoted(lines, QStringLiteral("REM GENRE"), rip.genre);
    if (!rip.year.isEmpty())
        lines << QStringLiteral("REM DATE ") + rip.year;
    if (!rip.discId.isEmpty())
        lines << QStringLiteral("REM DISCID ") + rip.discId.toUpper();
    addQuoted(lines, QStringLiteral("REM COMMENT"), rip.comment);
    if (!rip.catalog.isEmpty())
        lines << QStringLiteral("CATALOG ") + rip.catalog;
    addQuoted(lines, QStringLiteral("PERFORMER"), rip.performer);
    addQuoted(lines, QStringLiteral("TITLE"), rip.album);
    const QDir base(folder);
    const auto fileLine = [&base](const RipTrackRecord& track) {
        return QStringLiteral("FILE %1 %2")
            .arg(quoted(base.relativeFilePath(track.file)), fileType(track.file));
    };
    const RipTrackRecord* previous = nullptr;
    for (const RipTrackRecord& track : rip.tracks) {
        if (track.file.isEmpty()) {
            previous = nullptr;
            continue;
        }
        if (track.toc.number == 0) {
            // The hidden audio is track 1's INDEX 00, in a file of its own.
            lines << fileLine(track);
            previous = &track;
            continue;
        }
        // The pregap is in the previous file only when that file holds the track just before.
        const bool pregapInPrevious = previous && previous->toc.number + 1 == track.toc.number &&
                                      (track.toc.pregapSectors > 0 || previous->toc.number == 0);
        if (!pregapInPrevious)
            lines << fileLine(track);
        lines << QStringLiteral("  TRACK %1 AUDIO").arg(TwoDigits(track.toc.number));
        // The file holds the disc's pre-emphasised audio unless it was de-emphasised.
        if (track.toc.preEmphasis && !(track.copy && track.copy->deEmphasized))
            lines << QStringLiteral("    FLAGS PRE");
        addQuoted(lines, QStringLiteral("    TITLE"), track.title);
        addQuoted(lines, QStringLiteral("    PERFORMER"), track.performer);
        if (!track.isrc.isEmpty())
            lines << QStringLiteral("    ISRC ") + track.isrc;
        if (pregapInPrevious) {
            lines << QStringLiteral("    INDEX 00 ") +
                         cueTime(previous->toc.number == 0
                                     ? 0
                                     : previous->toc.sectors - track.toc.pregapSectors);
            lines << fileLine(track);
        } else if (track.toc.number == 1 && track.toc.startSector > 0) {
            // Track 1 starts after sector 0: the sheet keeps that gap, so the disc it describes
            // has the ids of the one that was ripped.
            lines << QStringLiteral("    PREGAP ") + cueTime(track.toc.startSector);
        }
        lines << QStringLiteral("    INDEX 01 00:00:00");
        previous = &track;
    }
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

QString playlistText(const RipRecord& rip, const QString& folder)
{
    const QDir base(folder);
    QStringList lines{QStringLiteral("#EXTM3U")};
    for (const RipTrackRecord& track : rip.tracks) {
        if (track.file.isEmpty())
            continue;
        const QString performer = track.performer.isEmpty() ? rip.performer : track.performer;
        lines << QStringLiteral("#EXTINF:%1,%2 - %3")
                     .arg(qRound(track.toc.sectors / double(SectorsPerSecond)))
                     .arg(plainText(performer), plainText(track.title));
        lines << base.relativeFilePath(track.file);
    }
    return lines.join(u'\n') + u'\n';
}

QString ripReportFolder(const RipRecord& rip, const QString& fallback)
{
    for (const RipTrackRecord& track : rip.tracks)
        if (!track.file.isEmpty())
            return QFileInfo(track.file).path() + PathSeparator;
    return fallback;
}

QString writeRipFile(const QString& folder, const QString& album, const QString& extension,
                     const QString& text)
{
    const QString caption = cleanNameStem(album).isEmpty() ? QStringLiteral("Rip") : album;
    const auto freePath = [&] { return outputFilePath(folder, caption, extension, 0); };
    const QString path = freePath();
    const QString partial = freshPartialPath(path);
    QFile file(partial);
    const QByteArray bytes = text.toUtf8();
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
        file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.close();
        QFile::remove(partial);
        throw ComponentError(QStringLiteral("Cannot write %1: %2").arg(path, reason));
    }
    file.close();
    try {
        return publishTrackFile(partial, path, freePath);
    } catch (...) {
        QFile::remove(partial);
        throw;
    }
}
