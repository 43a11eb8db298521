#pragma once

#include "cli/Ripper.h"

#include <QTextStream>

/// Tells the user how the rip goes: a bar per track on a terminal, plain lines otherwise, and a
/// summary at the end. Errors are always printed, also when quiet.
class ProgressReporter
{
public:
    ProgressReporter(QTextStream& out, QTextStream& err, bool quiet, bool terminal);

    void trackStarted(const RipTrack& track);
    void trackProgress(const RipTrack& track, double percent, double speed);
    void trackEncoding(const RipTrack& track);
    void trackDone(const RipTrack& track);
    void trackFailed(const RipTrack& track);
    void summary(const QList<RipTrack>& tracks, double wallSeconds);

private:
    void endBar();
    QString label(const RipTrack& track) const;

    QTextStream& m_out;
    QTextStream& m_err;
    bool m_quiet;
    bool m_terminal;
    bool m_barOpen = false;
    int m_lastStep = -1;
};

/// "3.4 MB", "812 KB".
QString formatSize(qint64 bytes);
