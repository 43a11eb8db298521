#include "cli/ProgressReporter.h"

#include <QFileInfo>

#include <cmath>

namespace {

constexpr int BarWidth = 30;

QString bar(double percent)
{
    const int filled = std::clamp(static_cast<int>(percent * BarWidth / 100.0), 0, BarWidth);
    return QString(filled, u'#') + QString(BarWidth - filled, u'.');
}

} // namespace

QString formatSize(qint64 bytes)
{
    if (bytes >= 1024 * 1024)
        return QString::number(bytes / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MB");
    return QString::number((bytes + 1023) / 1024) + QStringLiteral(" KB");
}

ProgressReporter::ProgressReporter(QTextStream& out, QTextStream& err, bool quiet, bool terminal)
    : m_out(out), m_err(err), m_quiet(quiet), m_terminal(terminal)
{
}

QString ProgressReporter::label(const RipTrack& track) const
{
    return QStringLiteral("Track %1 \"%2\"").arg(track.number, 2).arg(track.row.caption);
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
    m_out.flush();
}

void ProgressReporter::trackProgress(const RipTrack& track, double percent, double speed)
{
    if (m_quiet)
        return;
    if (m_terminal) {
        m_out << '\r' << label(track) << " [" << bar(percent) << "] "
              << QString::number(percent, 'f', 0).rightJustified(3) << "% "
              << QString::number(speed, 'f', 1) << "x";
        m_barOpen = true;
    } else {
        // A line every 25 %, so a log stays short.
        const int step = static_cast<int>(percent / 25);
        if (step == m_lastStep || percent >= 100.0)
            return;
        m_lastStep = step;
        m_out << label(track) << ": " << step * 25 << "%\n";
    }
    m_out.flush();
}

void ProgressReporter::trackEncoding(const RipTrack& track)
{
    if (m_quiet)
        return;
    endBar();
    m_out << label(track) << ": read, encoding\n";
    m_out.flush();
}

void ProgressReporter::trackDone(const RipTrack& track)
{
    if (m_quiet)
        return;
    endBar();
    m_out << label(track) << ": done, " << track.path << '\n';
    m_out.flush();
}

void ProgressReporter::trackFailed(const RipTrack& track)
{
    endBar();
    m_out.flush();
    m_err << "tunecrest-rip: track " << track.number << " failed: " << track.error << '\n';
    m_err.flush();
}

void ProgressReporter::summary(const QList<RipTrack>& tracks, double wallSeconds)
{
    if (m_quiet)
        return;
    endBar();
    double audioSeconds = 0;
    int done = 0;
    m_out << "\nSummary:\n";
    for (const RipTrack& track : tracks) {
        if (track.state == RipTrack::State::Done) {
            ++done;
            audioSeconds += track.row.seconds;
            m_out << QStringLiteral("  %1  %2  %3 s  %4\n")
                         .arg(track.number, 2)
                         .arg(formatSize(track.size), 9)
                         .arg(QString::number(track.elapsed, 'f', 1), 6)
                         .arg(track.path);
        } else {
            m_out << QStringLiteral("  %1  FAILED: %2\n").arg(track.number, 2).arg(track.error);
        }
    }
    const double speed = wallSeconds > 0 ? audioSeconds / wallSeconds : 0;
    m_out << QStringLiteral("%1 of %2 tracks, %3 s of audio in %4 s (%5x real time)\n")
                 .arg(done)
                 .arg(tracks.size())
                 .arg(QString::number(audioSeconds, 'f', 1))
                 .arg(QString::number(wallSeconds, 'f', 1))
                 .arg(QString::number(speed, 'f', 1));
    m_out.flush();
}
