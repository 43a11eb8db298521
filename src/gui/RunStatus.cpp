#include "gui/RunStatus.h"

#include "rip/RipEngine.h"

#include <QPainter>

#include <cmath>

QString durationText(double seconds)
{
    const auto whole = static_cast<qint64>(std::llround(std::max(0.0, seconds)));
    const qint64 hours = whole / 3600;
    const qint64 minutes = hours > 0 ? whole / 60 % 60 : whole / 60;
    QString text = QStringLiteral("%1:%2")
                       .arg(minutes, hours > 0 ? 2 : 1, 10, QChar(u'0'))
                       .arg(whole % 60, 2, 10, QChar(u'0'));
    return hours > 0 ? QString::number(hours) + u':' + text : text;
}

QString runProgressText(int position, const RipProgress& overall)
{
    QString text = QStringLiteral("Ripping track %1 of %2, %3% done")
                       .arg(position + 1)
                       .arg(overall.total)
                       .arg(static_cast<int>(overall.percent));
    if (overall.secondsLeft >= 0)
        text += QStringLiteral(", %1 left").arg(durationText(overall.secondsLeft));
    return text;
}

namespace {

bool accuratelyRipped(const RipTrack& track)
{
    return track.record.accurateRip.startsWith(QLatin1StringView("Accurately ripped"));
}

bool notInDatabase(const RipTrack& track)
{
    return track.record.accurateRip.startsWith(QLatin1StringView("Not present"));
}

} // namespace

QString runSummaryText(const std::vector<RipTrack>& tracks, bool stopped, const QString& error)
{
    const auto count = [&tracks](auto&& test) {
        return static_cast<int>(std::ranges::count_if(tracks, test));
    };
    const int total = static_cast<int>(tracks.size());
    const int ripped = count([](const RipTrack& t) { return t.state == RipTrack::State::Done; });
    QStringList failures;
    for (const RipTrack& track : tracks)
        if (track.state == RipTrack::State::Failed)
            failures << QStringLiteral("track %1 failed: %2").arg(track.number).arg(track.error);
    if (failures.isEmpty() && !error.isEmpty())
        failures << QStringLiteral("the rip failed: ") + error;
    if (!failures.isEmpty())
        return QStringLiteral("%1 of %2 ripped, ").arg(ripped).arg(total) +
               failures.join(QStringLiteral("; "));
    QString text = QStringLiteral("%1 of %2 tracks ripped").arg(ripped).arg(total);
    if (stopped)
        return QStringLiteral("Stopped: ") + text;
    const int judged = count([](const RipTrack& t) { return !t.record.accurateRip.isEmpty(); });
    if (judged > 0 && count(notInDatabase) == judged)
        text += QStringLiteral(", not in the AccurateRip database");
    else if (judged > 0)
        text += QStringLiteral(", %1 accurately").arg(count(accuratelyRipped));
    return text;
}

RunStatusLine::RunStatusLine(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("lb_runstatus"));
    // The skin's hint is 11 pixels high; the line takes the same size.
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
    hide();
}

void RunStatusLine::setText(const QString& text)
{
    if (!text.isEmpty() && isHidden()) {
        m_backdrop = faceBeneath();
        m_ink = palette().color(QPalette::WindowText);
        if (!m_backdrop.isNull()) {
            // Light text on a dark face, dark text on a light one.
            const QImage image = m_backdrop.toImage();
            int lightness = 0;
            for (int y = 0; y < image.height(); ++y)
                lightness += image.pixelColor(0, y).lightness();
            m_ink = lightness / std::max(1, image.height()) < 128 ? QColor(0xdf, 0xe5, 0xf3)
                                                                  : QColor(0x1b, 0x20, 0x30);
        }
    }
    m_text = text;
    setToolTip(text);
    setAccessibleName(text);
    setVisible(!text.isEmpty());
    raise();
    update();
}

QPixmap RunStatusLine::faceBeneath() const
{
    auto* face =
        parentWidget()->findChild<QWidget*>(QStringLiteral("skinFace"), Qt::FindDirectChildrenOnly);
    if (!face || !face->isVisible())
        return {};
    const QPixmap column =
        face->grab(QRect(face->mapFrom(parentWidget(), geometry().topLeft()), QSize(1, height())));
    return column.scaled(size() * column.devicePixelRatio());
}

void RunStatusLine::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_backdrop.isNull())
        painter.drawPixmap(rect(), m_backdrop);
    painter.setPen(m_ink);
    const QRect area = rect().adjusted(TextIndent, 0, 0, 0);
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(m_text, Qt::ElideRight, area.width()));
}
