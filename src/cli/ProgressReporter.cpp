#include "cli/ProgressReporter.h"

#include "components/lookup/AccurateRip.h"

#include <QFileInfo>

#include <cmath>

namespace {

constexpr int BarWidth = 30;
// Moves to the start of the line and clears it, so a shorter redraw leaves nothing behind.
constexpr char RedrawLine[] = "\r\x1b[K";

QString bar(double percent)
{
    const int filled = std::clamp(static_cast<int>(percent * BarWidth / 100.0), 0, BarWidth);
    return QString(filled, u'#') + QString(BarWidth - filled, u'.');
}

QString overallText(const RipProgress& overall)
{
    QString text = QStringLiteral("  [%1/%2 tracks, %3%")
                       .arg(overall.done)
                       .arg(overall.total)
                       .arg(QString::number(overall.percent, 'f', 0));
    if (overall.secondsLeft >= 0)
        text += QStringLiteral(", %1 left").arg(formatDuration(overall.secondsLeft));
    return text + u']';
}

} // namespace

QString formatSize(qint64 bytes)
{
    if (bytes >= 1024 * 1024)
        return QString::number(bytes / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MB");
    return QString::number((bytes + 1023) / 1024) + QStringLiteral(" KB");
}

QString formatDuration(double seconds)
{
    const auto whole = static_cast<qint64>(std::llround(std::max(0.0, seconds)));
    const qint64 hours = whole / 3600;
    const QString minutesSeconds =
        QStringLiteral("%1:%2")
            .arg(hours > 0 ? whole / 60 % 60 : whole / 60, hours > 0 ? 2 : 1, 10, QChar(u'0'))
            .arg(whole % 60, 2, 10, QChar(u'0'));
    return hours > 0 ? QString::number(hours) + u':' + minutesSeconds : minutesSeconds;
}

QString printable(const QString& text)
{
    QString result = text;
    for (QChar& c : result)
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F))
            c = u'?';
    return result;
}

ProgressReporter::ProgressReporter(QTextStream& out, QTextStream& err, bool quiet, bool terminal)
    : m_out(out), m_err(err), m_quiet(quiet), m_terminal(terminal)
{
}

void ProgressReporter::setOutputClosedHandler(std::function<void()> handler)
{
    m_onOutputClosed = std::move(handler);
}

QString ProgressReporter::label(const RipTrack& track) const
{
    return QStringLiteral("Track %1 \"%2\"").arg(track.number, 2).arg(printable(track.caption));
}

void ProgressReporter::flush()
{
    m_out.flush();
    if (m_out.status() == QTextStream::Ok || m_outputClosed)
        return;
    m_outputClosed = true;
    if (m_onOutputClosed)
        m_onOutputClosed();
}

void ProgressReporter::endBar()
{
    if (m_barOpen)
        m_out << '\n';
    m_barOpen = false;
}

void ProgressReporter::trackStarted(const RipTrack& track)
{
    m_lastStep = -1;
    if (m_quiet)
        return;
    endBar();
    if (!m_terminal)
        m_out << label(track) << ": reading\n";
    flush();
}

void ProgressReporter::trackProgress(const RipTrack& track, double percent, double speed,
                                     const RipProgress& overall)
{
    if (m_quiet)
        return;
    if (m_terminal) {
        m_out << RedrawLine << label(track) << " [" << bar(percent) << "] "
              << QString::number(percent, 'f', 0).rightJustified(3) << "% "
              << QString::number(speed, 'f', 1) << "x" << overallText(overall);
        m_barOpen = true;
    } else {
        // A line every 25 %, so a log stays short.
        const int step = static_cast<int>(percent / 25);
        if (step == m_lastStep || percent >= 100.0)
            return;
        m_lastStep = step;
        m_out << label(track) << ": " << step * 25 << "%" << overallText(overall) << '\n';
    }
    flush();
}

void ProgressReporter::trackEncoding(const RipTrack& track)
{
    if (m_quiet)
        return;
    endBar();
    m_out << label(track) << ": read, encoding\n";
    flush();
}

void ProgressReporter::trackDone(const RipTrack& track, const RipProgress& overall)
{
    if (m_quiet)
        return;
    endBar();
    m_out << label(track) << ": done, " << printable(track.path) << overallText(overall) << '\n';
    flush();
}

void ProgressReporter::trackFailed(const RipTrack& track)
{
    endBar();
    flush();
    m_err << "tunecrest-rip: track " << track.number << " failed: " << printable(track.error)
          << '\n';
    m_err.flush();
}

void ProgressReporter::note(const QString& line)
{
    if (m_quiet)
        return;
    endBar();
    flush();
    m_err << "tunecrest-rip: " << printable(line) << '\n';
    m_err.flush();
}

void ProgressReporter::summary(const std::vector<RipTrack>& tracks, double wallSeconds)
{
    if (m_quiet)
        return;
    endBar();
    double audioSeconds = 0;
    int done = 0;
    const QString noAnswer = accurateRipVerdictText(std::nullopt);
    bool unchecked = false;
    m_out << "\nSummary:\n";
    for (const RipTrack& track : tracks) {
        if (track.state == RipTrack::State::Done) {
            ++done;
            audioSeconds += track.seconds();
            m_out << QStringLiteral("  %1  %2  %3 s  %4\n")
                         .arg(track.number, 2)
                         .arg(formatSize(track.size), 9)
                         .arg(QString::number(track.elapsed, 'f', 1), 6)
                         .arg(printable(track.path));
            if (track.record.crcMismatch())
                m_out << QStringLiteral("      test and copy CRCs differ (copy %1, test %2)\n")
                             .arg(track.record.copy->crc, 8, 16, QLatin1Char('0'))
                             .arg(track.record.test->crc, 8, 16, QLatin1Char('0'));
            else if (!track.record.error.isEmpty())
                m_out << QStringLiteral("      %1\n").arg(printable(track.record.error));
            // A database that gave no answer is said once, after the tracks.
            if (track.record.accurateRip == noAnswer)
                unchecked = true;
            else if (!track.record.accurateRip.isEmpty())
                m_out << QStringLiteral("      AccurateRip: %1\n").arg(track.record.accurateRip);
            if (!track.record.readPath.isEmpty())
                m_out << QStringLiteral("      read: %1\n").arg(track.record.readPath);
        } else {
            m_out << QStringLiteral("  %1  FAILED: %2\n")
                         .arg(track.number, 2)
                         .arg(printable(track.error));
        }
    }
    if (unchecked)
        m_out << QStringLiteral("AccurateRip: %1\n").arg(noAnswer);
    const double speed = wallSeconds > 0 ? audioSeconds / wallSeconds : 0;
    m_out << QStringLiteral("%1 of %2 tracks, %3 s of audio in %4 s (%5x real time)\n")
                 .arg(done)
                 .arg(tracks.size())
                 .arg(QString::number(audioSeconds, 'f', 1))
                 .arg(QString::number(wallSeconds, 'f', 1))
                 .arg(QString::number(speed, 'f', 1));
    flush();
}
