// The conversion run of the main window: the checked rows, one after another, through the
// grabber into tagged files named after the rows.
#include "components/ComponentError.h"
#include "components/IAudioFile2.h"
#include "components/lookup/AccurateRip.h"
#include "rip/EncoderConfiguration.h"
#include "rip/OutputNaming.h"
#include "rip/ReleaseTags.h"
#include "rip/RipLog.h"
#include "rip/TrackFile.h"
#include "settings/SettingsDialog.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsKeys.h"
#include "shell/Desktop.h"
#include "shell/MainWindow.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QRegularExpression>
#include <QTreeWidget>

#include <algorithm>

namespace {

constexpr int ProgressBarWidth = 584;
constexpr int StatusColumn = 4;

// The percentage as the status cell shows it: the integer part with at least two digits, a
// point and at most two digits of the fraction, cut rather than rounded ("12.34%", "05.5%"); a
// whole number shows no point ("05%").
struct PercentText
{
    QString integerPart;
    QString text;
};

PercentText percentText(double percent)
{
    QString shortest = QString::number(percent, 'g', 15);
    if (shortest.contains(u'e')) // very small or very large: write it out
        shortest =
            QString::number(percent, 'f', 15).remove(QRegularExpression(QStringLiteral("\\.?0+$")));
    const qsizetype point = shortest.indexOf(u'.');
    QString integerPart = point < 0 ? shortest : shortest.left(point);
    const QString fraction = point < 0 ? QString() : shortest.mid(point + 1, 2);
    if (integerPart.size() == 1)
        integerPart.prepend(u'0');
    return {integerPart, integerPart + (fraction.isEmpty() ? QString() : u'.' + fraction) + u'%'};
}

// Removes a partial file that did not get its final name when a run leaves early.
class PartialFileGuard
{
public:
    explicit PartialFileGuard(QString path) : m_path(std::move(path)) {}
    ~PartialFileGuard()
    {
        if (!m_path.isEmpty())
            QFile::remove(m_path);
    }
    PartialFileGuard(const PartialFileGuard&) = delete;
    PartialFileGuard& operator=(const PartialFileGuard&) = delete;
    void release() { m_path.clear(); }

private:
    QString m_path;
};

// The log and the cue sheet of a run, when Main/Log asks for them: begun before the first row,
// written when the run ends, however it ends.
class RunReports
{
public:
    RunReports(const SettingsFile& settings, IAudioCDGrabber2& grabber, OutputFormatNumber format,
               const TrackTable& table, const QList<int>& rows)
        : m_enabled(settings.read(Keys::Main::Log))
    {
        if (!m_enabled)
            return;
        record = beginRipRecord(settings, grabber, format);
        record.program = QApplication::applicationName();
        record.version = QApplication::applicationVersion();
        record.testCopy = settings.read(Keys::Main::TestCopy);
        if (!rows.isEmpty()) {
            const CDFreedinfo& disc = table.at(rows.front());
            record.album = disc.Album;
            record.performer = disc.Artist;
            record.genre = disc.Genre;
            record.year = disc.Year;
            record.comment = disc.Comment;
        }
    }

    /// Writes them into the folder of the first file, else into fallback; a failure to write
    /// them is returned, the run's own outcome is not changed by it.
    QString write(const QString& fallback, RipRecord::Outcome outcome)
    {
        if (!m_enabled || record.tracks.isEmpty())
            return {};
        record.outcome = outcome;
        const bool failed = std::any_of(record.tracks.begin(), record.tracks.end(),
                                        [](const RipTrackRecord& t) { return !t.ok(); });
        if (outcome == RipRecord::Outcome::Complete && failed)
            record.outcome = RipRecord::Outcome::Failed;
        return writeRipReports(record, fallback, true, true);
    }

    RipRecord record;

private:
    bool m_enabled;
};

} // namespace

void Tfm_main::ConvertChecked()
{
    if (m_lv->topLevelItemCount() == 0)
        return;
    if (m_playing) {
        m_parts.prompter->information(this, QStringLiteral("Please stop playing first."));
        return;
    }
    m_checkedRows.clear();
    m_converting = true;
    for (int row = 0; row < m_lv->topLevelItemCount(); ++row)
        if (m_lv->topLevelItem(row)->checkState(0) == Qt::Checked)
            m_checkedRows.append(row);

    m_runActive = true;
    // With nothing checked there is no track folder: the output folder itself opens.
    QString lastDirectory = storedOutputPath(*m_settings);
    RunReports reports(*m_settings, *m_grabber, m_outputFormat, m_trackTable, m_checkedRows);
    // The database is asked once for the run; a verified run needs its word on every track.
    m_accurateRip.reset();
    if (!m_checkedRows.isEmpty() &&
        (m_settings->read(Keys::AccurateRip::Enabled) || m_settings->read(Keys::Main::Verify))) {
        m_accurateRip =
            fetchAccurateRip(m_settings->path(), accurateRipDiscId(m_grabber->freeDBDisc()));
        reports.record.accurateRip = m_accurateRip->logLine();
        appendFreeDBLog(reports.record.accurateRip);
    }
    if (m_accurateRip && m_settings->read(Keys::Main::Verify)) {
        constexpr int Burst = 0;
        m_grabber->GrabMode(Burst);
        reports.record.readMode =
            QStringLiteral("Burst, then Paranoid for the tracks AccurateRip does not confirm");
    }
    try {
        for (m_runPosition = 0; m_runPosition < m_checkedRows.size() && m_converting;
             ++m_runPosition)
            convertRow(m_checkedRows[m_runPosition], lastDirectory, reports.record);
    } catch (...) {
        m_runActive = false;
        applyGrabOptions(*m_settings, *m_grabber);
        // The error itself goes on to the handler; a log that cannot be written adds nothing.
        reports.write(lastDirectory, RipRecord::Outcome::Failed);
        throw;
    }
    m_runActive = false;
    applyGrabOptions(*m_settings, *m_grabber); // the stored mode again after a verified run
    const bool stopped = !m_converting;
    StopConversion();
    const QString reportError = reports.write(
        lastDirectory, stopped ? RipRecord::Outcome::Interrupted : RipRecord::Outcome::Complete);
    openWithDesktop(lastDirectory);
    if (!reportError.isEmpty())
        throw ComponentError(reportError);
}

void Tfm_main::convertRow(int row, QString& lastDirectory, RipRecord& record)
{
    const CDFreedinfo& rowRecord = m_trackTable.at(row);
    const QString directory =
        outputDirectory(*m_settings, m_outputScheme, rowRecord.Artist, rowRecord.Album);
    lastDirectory = directory;
    const QString extension = extensionForFormat(m_outputFormat);
    m_grabbing = true;
    m_grabber->EndRead();
    m_grabber->CurrentTrack(row);
    const QString caption = m_lv->topLevelItem(row)->text(0);
    const int trackNumber = row + 1;
    const QString path = outputFilePath(directory, caption, extension, trackNumber);
    if (m_outputFormat == OutputFormatNumber::RealMedia)
        return; // a format that produces nothing
    record.tracks.append(
        trackRecordFor(record, *m_grabber, trackNumber, rowRecord.Title, rowRecord.Artist));
    RipTrackRecord& entry = record.tracks.back();
    configureEncoder(*m_settings, m_outputFormat, *m_audioFile, *m_parts.lame,
                     m_set->commandLine());
    if (m_audioFile->IsOpen())
        m_audioFile->Close();

    // The file is written under a partial name and named once it is complete and tagged.
    const QString partial = freshPartialPath(path);
    PartialFileGuard unfinished(partial);
    grabRow(partial, entry);
    verifyRow(row, partial, entry, judgeRow(row, entry));
    if (!m_converting)
        entry.error = QStringLiteral("stopped");

    // The texts as they stand now: the tag editor may have changed them during the grab.
    TagRecord tag = tagRecordFor(m_trackTable.at(row), trackNumber, m_lv->topLevelItemCount());
    addEntryTags(tag, m_lookedUpEntry, row, m_settings->read(Keys::MusicBrainz::EmbedCover));
    entry.file = finishTrackFile(partial, path, {directory, caption, extension, trackNumber}, tag);
    unfinished.release();
    const QString coverLine = saveCover(m_lookedUpEntry, directory);
    if (!coverLine.isEmpty())
        appendFreeDBLog(coverLine);
    if (record.testCopy && m_converting)
        testReadRow(record);
}

void Tfm_main::grabRow(const QString& partial, RipTrackRecord& entry)
{
    m_grabFailure.clear();
    m_grabbing = true;
    m_grabber->GrabToFile(partial);
    waitForGrab();
    if (m_audioFile->IsOpen())
        m_audioFile->Close();
    entry.copy = m_grabber->lastGrabReport();
    if (!m_grabFailure.isEmpty()) {
        entry.error = m_grabFailure;
        throw ComponentError(m_grabFailure);
    }
}

std::optional<AccurateRipVerdict> Tfm_main::judgeRow(int row, RipTrackRecord& entry)
{
    if (!m_accurateRip || !entry.copy || !m_converting)
        return std::nullopt;
    const auto verdict = judgeAccurateRip(*m_accurateRip, row, entry.copy->accurateRip);
    entry.accurateRip = accurateRipVerdictText(verdict);
    if (QTreeWidgetItem* item = m_lv->topLevelItem(row))
        item->setToolTip(StatusColumn, QStringLiteral("AccurateRip: ") + entry.accurateRip);
    return verdict;
}

void Tfm_main::verifyRow(int row, const QString& partial, RipTrackRecord& entry,
                         const std::optional<AccurateRipVerdict>& verdict)
{
    if (!m_accurateRip || !m_converting || !m_settings->read(Keys::Main::Verify))
        return;
    if (verdict && verdict->accurate()) {
        entry.readPath = QStringLiteral("Burst, confirmed by AccurateRip");
        return;
    }
    entry.readPath =
        QStringLiteral("Burst, not confirmed by AccurateRip; read again in Paranoid mode");
    constexpr int Burst = 0;
    constexpr int Paranoid = 3;
    QFile::remove(partial); // the burst read's file, under this run's own partial name
    m_grabber->GrabMode(Paranoid);
    grabRow(partial, entry);
    m_grabber->GrabMode(Burst);
    judgeRow(row, entry);
}

void Tfm_main::testReadRow(RipRecord& record)
{
    // The second read only computes its CRC; the file stays whatever it finds.
    RipTrackRecord& entry = record.tracks.back();
    m_grabFailure.clear();
    m_grabbing = true;
    m_grabber->TestRead();
    waitForGrab();
    if (!m_grabFailure.isEmpty())
        entry.error = QStringLiteral("the test read failed: ") + m_grabFailure;
    else if (m_converting)
        entry.test = m_grabber->lastGrabReport();
}

void Tfm_main::waitForGrab()
{
    // Blocks on events until the grab reports its end, fails, or the run is stopped; every
    // command and event of the window is handled meanwhile.
    QEventLoop wait;
    m_grabWait = &wait;
    while (m_grabbing && m_converting)
        wait.exec();
    m_grabWait = nullptr;
}

void Tfm_main::StopConversion()
{
    if (m_grabbing)
        m_grabber->AbortGrab();
    m_grabbing = m_converting = false;
    SetProgressBar(0);
    if (m_grabWait)
        m_grabWait->quit();
    if (!m_runActive)
        rereadIfHeldBack();
}

void Tfm_main::AudioCDGrabber21OperationProgress(double percent)
{
    if (percent == 100.0)
        m_grabbing = false;
    const PercentText shown = percentText(percent);
    if (m_runPosition >= 0 && m_runPosition < m_checkedRows.size()) {
        if (QTreeWidgetItem* item = m_lv->topLevelItem(m_checkedRows[m_runPosition]))
            item->setText(StatusColumn, percent == 100.0 ? QStringLiteral("Finish") : shown.text);
    }
    const int width = qRound(shown.integerPart.toInt() * ProgressBarWidth / 100.0);
    SetProgressBar(width);
    if (percent == 100.0 && m_grabWait)
        m_grabWait->quit();
}
