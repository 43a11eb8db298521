#include "rip/RipCheck.h"

#include "base/ComponentError.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

namespace {

// A cue sheet or a rip log is a few kilobytes; anything far larger is neither.
constexpr qint64 MaxTextBytes = 1 << 20;

QString readText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(MaxTextBytes));
}

// The file each track of the sheet lies in, by track number: what a FILE line before its TRACK
// line names, relative to the sheet's folder ("\" written as "/").
QHash<int, QString> filesOfTracks(const QString& sheet)
{
    static const QRegularExpression fileLine(
        QStringLiteral("^\\s*FILE\\s+(?:\"([^\"]*)\"|(\\S+))\\s+\\S+\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression trackLine(QStringLiteral("^\\s*TRACK\\s+(\\d+)\\s"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QDir folder = QFileInfo(sheet).absoluteDir();
    QHash<int, QString> files;
    QString current;
    for (const QString& line : readText(sheet).split(u'\n')) {
        if (const auto file = fileLine.match(line); file.hasMatch()) {
            const QString name = file.captured(1).isEmpty() ? file.captured(2) : file.captured(1);
            current = QDir::cleanPath(folder.absoluteFilePath(QString(name).replace(u'\\', u'/')));
        } else if (const auto track = trackLine.match(line); track.hasMatch()) {
            files.insert(track.captured(1).toInt(), current);
        }
    }
    return files;
}

// The copy CRCs of the rip log, by track number.
QHash<int, quint32> loggedCrcs(const QString& log)
{
    static const QRegularExpression trackLine(QStringLiteral("^Track (\\d+)$"));
    static const QRegularExpression crcLine(QStringLiteral("^\\s+Copy CRC: ([0-9A-Fa-f]{8})$"));
    QHash<int, quint32> crcs;
    int track = -1;
    for (const QString& line : readText(log).split(u'\n')) {
        if (const auto number = trackLine.match(line); number.hasMatch())
            track = number.captured(1).toInt();
        else if (const auto crc = crcLine.match(line); crc.hasMatch() && track >= 0)
            crcs.insert(track, crc.captured(1).toUInt(nullptr, 16));
    }
    return crcs;
}

// Reads the grabber's current track once without writing it, and waits for the end.
GrabReport testRead(IAudioCDGrabber2& grabber)
{
    QEventLoop wait;
    QString failure;
    bool ended = false;
    const auto progress = QObject::connect(&grabber, &IAudioCDGrabber2::OnOperationProgress, &wait,
                                           [&](double percent) {
                                               if (percent == 100.0) {
                                                   ended = true;
                                                   wait.quit();
                                               }
                                           });
    const auto failed =
        QObject::connect(&grabber, &IAudioCDGrabber2::grabFailed, &wait, [&](const QString& why) {
            failure = why.isEmpty() ? QStringLiteral("the read ended early") : why;
            ended = true;
            wait.quit();
        });
    grabber.TestRead();
    if (!ended)
        wait.exec();
    QObject::disconnect(progress);
    QObject::disconnect(failed);
    if (!failure.isEmpty())
        throw ComponentError(failure);
    return grabber.lastGrabReport();
}

} // namespace

RipCheckResult checkRip(IAudioCDGrabber2& grabber, const QString& settingsPath,
                        const QString& sheet)
{
    RipCheckResult result;
    const QHash<int, QString> files = filesOfTracks(sheet);
    QList<int> numbers = files.keys();
    std::sort(numbers.begin(), numbers.end());
    bool missing = false;
    for (const int number : numbers) {
        RipCheckTrack track;
        track.number = number;
        track.file = files.value(number);
        if (!QFileInfo(track.file).isFile()) {
            track.problem = QStringLiteral("its file %1 is missing").arg(track.file);
            missing = true;
        }
        result.tracks.append(track);
    }
    const QString log = QFileInfo(sheet).absoluteDir().filePath(
        QFileInfo(sheet).completeBaseName() + QStringLiteral(".log"));
    if (QFileInfo(log).isFile()) {
        result.log = log;
        const QHash<int, quint32> crcs = loggedCrcs(log);
        for (RipCheckTrack& track : result.tracks)
            if (crcs.contains(track.number))
                track.loggedCrc = crcs.value(track.number);
    }
    // A disc image whose files are not all there cannot be opened: only the missing ones are
    // said.
    if (missing) {
        for (RipCheckTrack& track : result.tracks)
            if (track.problem.isEmpty())
                track.problem = QStringLiteral("not read: other files of the sheet are missing");
        return result;
    }
    grabber.ReadDisc();
    if (grabber.TrackCount() < 1)
        throw ComponentError(QStringLiteral("The cue sheet %1 names no audio track.").arg(sheet));
    result.tracks.resize(std::min<qsizetype>(result.tracks.size(), grabber.TrackCount()));
    for (int index = 0; index < result.tracks.size(); ++index) {
        RipCheckTrack& track = result.tracks[index];
        try {
            grabber.CurrentTrack(index);
            track.read = testRead(grabber);
        } catch (const ComponentError& e) {
            track.problem = e.message();
        }
    }
    const AccurateRipAnswer answer =
        fetchAccurateRip(settingsPath, accurateRipDiscId(grabber.freeDBDisc()));
    result.accurateRip = answer.logLine();
    for (int index = 0; index < result.tracks.size(); ++index) {
        RipCheckTrack& track = result.tracks[index];
        if (track.read)
            track.verdict = judgeAccurateRip(answer, index, track.read->accurateRip);
    }
    return result;
}

QString ripCheckLine(const RipCheckTrack& track)
{
    const QString head = QStringLiteral("Track %1").arg(track.number, 2, 10, QChar(u'0'));
    if (!track.problem.isEmpty())
        return head + QStringLiteral(": failed, ") + track.problem;
    const QString crc = QStringLiteral("%1").arg(track.read->crc, 8, 16, QChar(u'0')).toUpper();
    const QString logged =
        !track.loggedCrc ? QStringLiteral("no log")
        : track.crcDiffers()
            ? QStringLiteral("different from the log's %1")
                  .arg(QStringLiteral("%1").arg(*track.loggedCrc, 8, 16, QChar(u'0')).toUpper())
            : QStringLiteral("equal to the log");
    return QStringLiteral("%1: CRC %2, %3; AccurateRip: %4")
        .arg(head, crc, logged, accurateRipVerdictText(track.verdict));
}
