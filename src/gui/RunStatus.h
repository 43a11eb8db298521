#pragma once

#include <QPixmap>
#include <QWidget>

#include <vector>

struct RipProgress;
struct RipTrack;

/// A duration as the progress lines give it: "0:42", "12:05", "1:02:03".
QString durationText(double seconds);

/// A run under way: "Ripping track 2 of 4, 37% done, 0:42 left" (the time left once the engine
/// can estimate it). position is the track being read, 0-based.
QString runProgressText(int position, const RipProgress& overall);

/// What a run came to: "4 of 4 tracks ripped, 4 accurately", "3 of 4 ripped, track 2 failed:
/// …", "Stopped: 1 of 4 tracks ripped". error is what ended the run early, if anything did.
QString runSummaryText(const std::vector<RipTrack>& tracks, bool stopped, const QString& error);

/// One line of text in the window's skinned face, over the skin's own hint there: shown while
/// it has text, hidden (the hint shows) while it has none. It paints the face beneath it as the
/// face stands at its left edge, which is where the skin has nothing but its background, so the
/// hint does not show through; the text is light on a dark face and dark on a light one.
class RunStatusLine final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RunStatusLine)
public:
    /// The line starts this far left of its text, where the face holds its background alone.
    static constexpr int TextIndent = 5;

    explicit RunStatusLine(QWidget* parent);

    QString text() const { return m_text; }
    /// Shows text (cut with "…" where it is too long; the tooltip has it whole); empty hides
    /// the line.
    void setText(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    /// The face's column at the line's left edge, stretched over the line; null without a face.
    QPixmap faceBeneath() const;

    QString m_text;
    QPixmap m_backdrop; // taken when the line is shown
    QColor m_ink;
};
