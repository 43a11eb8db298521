#pragma once

#include "rip/RipEngine.h"

#include <QTextStream>

#include <functional>

/// Tells the user how the rip goes: a bar per track with the whole rip's progress and the time
/// left on a terminal, plain lines otherwise, and a summary at the end. Errors are always
/// printed, also when quiet. Texts from the disc are printed with their control characters
/// shown as "?", so a title cannot drive the terminal.
class ProgressReporter
{
public:
    ProgressReporter(QTextStream& out, QTextStream& err, bool quiet, bool terminal);

    /// Called once when writing to the output fails (a closed pipe or terminal).
    void setOutputClosedHandler(std::function<void()> handler);

    void trackStarted(const RipTrack& track);
    void trackProgress(const RipTrack& track, double percent, double speed,
                       const RipProgress& overall);
    void trackEncoding(const RipTrack& track);
    void trackDone(const RipTrack& track, const RipProgress& overall);
    void trackFailed(const RipTrack& track);
    /// A line of its own on standard error, unless quiet.
    void note(const QString& line);
    void summary(const std::vector<RipTrack>& tracks, double wallSeconds);

private:
    void endBar();
    void flush();
    QString label(const RipTrack& track) const;

    QTextStream& m_out;
    QTextStream& m_err;
    bool m_quiet;
    bool m_terminal;
    bool m_barOpen = false;
    bool m_outputClosed = false;
    int m_lastStep = -1;
    std::function<void()> m_onOutputClosed;
};

/// "3.4 MB", "812 KB".
QString formatSize(qint64 bytes);

/// "1:05:09", "4:07": hours only when there are any.
QString formatDuration(double seconds);

/// text with every control character (U+0000 to U+001F, U+007F to U+009F) shown as "?".
QString printable(const QString& text);
