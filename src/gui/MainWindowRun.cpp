// The conversion run of the main window: the rip engine over the checked rows, one after
// another, with the rows' statuses and the progress bar following it.
#include "base/ComponentError.h"
#include "gui/Desktop.h"
#include "gui/DesktopNotification.h"
#include "gui/MainWindow.h"
#include "gui/RunStatus.h"
#include "gui/SettingsDialog.h"
#include "rip/EncoderConfiguration.h"
#include "rip/OutputNaming.h"
#include "rip/RipEngine.h"
#include "rip/TrackFile.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsKeys.h"

#include <QDir>
#include <QRegularExpression>

#include <cstdio>

namespace {

constexpr int ProgressBarWidth = 584;

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

} // namespace

void Tfm_main::ConvertChecked()
{
    if (m_list.rowCount() == 0)
        return;
    if (m_playing) {
        m_parts.prompter->information(this, QStringLiteral("Please stop playing first."));
        return;
    }
    // Made absolute once, so every name the run writes (the cue sheet's too) resolves.
    const QString root = QDir(storedOutputPath(*m_settings)).absolutePath();
    const QList<int> checked = m_list.checkedRows();
    if (!checked.isEmpty() && !outputFolderReady(root))
        return;
    m_checkedRows = checked;
    m_converting = true;
    RipEngine engine(runRequest(root), *m_settings, *m_grabber, m_list, *m_parts.lame);
    engine.setRows(m_checkedRows);
    engine.setLookedUpEntry(m_lookedUpEntry);
    try {
        runEngine(engine);
    } catch (const ComponentError&) {
        endRun(engine);
        throw; // to the exception handler, with the converting flag still set
    }
    const bool closing = endRun(engine);
    StopConversion();
    // With nothing checked there is no track folder: the output folder itself opens.
    if (!closing)
        openWithDesktop(engine.lastDirectory().isEmpty() ? root : engine.lastDirectory());
    if (!engine.reportError().isEmpty())
        throw ComponentError(engine.reportError());
}

bool Tfm_main::endRun(const RipEngine& engine)
{
    // The window may have been closed during the run: the store it kept for the run goes now.
    const bool closing = m_settingsReleasedAfterRun;
    if (!closing)
        reportRunEnd(engine);
    if (m_settings)
        applyGrabOptions(*m_settings, *m_grabber); // the stored mode again after a verified run
    if (closing) {
        m_settingsReleasedAfterRun = false;
        m_settings.reset();
    }
    return closing;
}

bool Tfm_main::outputFolderReady(const QString& root)
{
    // The output folder itself is made as the run would make it (its parents must be there),
    // and checked before the first read: what is wrong is said, and no run starts.
    try {
        prepareOutputFolder(root, FolderCreation::FolderOnly);
    } catch (const ComponentError& e) {
        std::fprintf(stderr, "tunecrest: %s\n", e.message().toLocal8Bit().constData());
        m_parts.prompter->information(this, e.message());
        return false;
    }
    return true;
}

RipRequest Tfm_main::runRequest(const QString& root) const
{
    RipRequest request;
    request.format = m_outputFormat;
    request.root = root;
    request.scheme = m_outputScheme;
    request.jobs = 1; // the grabber's audio file encodes while the disc is read
    request.log = request.cue = m_settings->read(Keys::Main::Log);
    request.testCopy = m_settings->read(Keys::Main::TestCopy);
    request.accurateRip = m_settings->read(Keys::AccurateRip::Enabled);
    request.verify = m_settings->read(Keys::Main::Verify);
    request.mp3CommandLine = m_set->commandLine();
    request.nameTemplate = m_settings->read(Keys::Main::FileTemplate);
    request.replayGain = m_settings->read(Keys::Main::ReplayGain);
    request.playlist = m_settings->read(Keys::Main::Playlist);
    request.deEmphasis = m_settings->read(Keys::Main::RemoveEmphasis);
    // An error goes to the exception handler at once, a stop keeps what was read, and only the
    // scheme's folders are made.
    request.stopAtFirstError = true;
    request.keepStoppedTrack = true;
    request.prepareRoot = false;
    return request;
}

void Tfm_main::runEngine(RipEngine& engine)
{
    // Commands and events are handled while the engine works: the run waits in the event loop.
    connect(&engine, &RipEngine::trackStarting, this, [this, &engine](int position) {
        m_grabbing = true;
        m_runPosition = position;
        m_runStatus->setText(runProgressText(position, engine.progress(0)));
    });
    connect(&engine, &RipEngine::trackProgress, this,
            [this](int position, double, double, const RipProgress& overall) {
                m_runStatus->setText(runProgressText(position, overall));
            });
    connect(&engine, &RipEngine::trackJudged, this, [this, &engine](int position) {
        const RipTrack& track = engine.tracks()[static_cast<std::size_t>(position)];
        m_list.setStatusToolTip(track.index,
                                QStringLiteral("AccurateRip: ") + track.record.accurateRip);
    });
    connect(&engine, &RipEngine::note, this, &Tfm_main::appendFreeDBLog);
    struct ActiveRun
    {
        Tfm_main& main;
        ActiveRun(Tfm_main& window, RipEngine& running) : main(window)
        {
            main.m_runActive = true;
            main.m_engine = &running;
        }
        ~ActiveRun()
        {
            main.m_runActive = false;
            main.m_engine = nullptr;
        }
    } active(*this, engine);
    engine.run();
}

void Tfm_main::reportRunEnd(const RipEngine& engine)
{
    if (engine.tracks().empty())
        return;
    const QString summary = runSummaryText(engine.tracks(), engine.wasStopped(), engine.error());
    m_runStatus->setText(summary);
    if (isActiveWindow())
        return;
    const bool failed = !engine.error().isEmpty() ||
                        std::ranges::any_of(engine.tracks(), [](const RipTrack& track) {
                            return track.state == RipTrack::State::Failed;
                        });
    notifyDesktop(engine.wasStopped() ? QStringLiteral("Rip stopped")
                  : failed            ? QStringLiteral("Rip failed")
                                      : QStringLiteral("Rip finished"),
                  summary);
}

QString Tfm_main::runStatusText() const
{
    return m_runStatus->text();
}

void Tfm_main::StopConversion()
{
    if (m_engine)
        m_engine->stop(); // aborts the grab under way; the track read so far is kept
    else if (m_grabbing)
        m_grabber->AbortGrab();
    m_grabbing = m_converting = false;
    SetProgressBar(0);
    if (!m_runActive)
        rereadIfHeldBack();
}

void Tfm_main::AudioCDGrabber21OperationProgress(double percent)
{
    if (percent == 100.0)
        m_grabbing = false;
    const PercentText shown = percentText(percent);
    if (m_runPosition >= 0 && m_runPosition < m_checkedRows.size())
        m_list.setStatus(m_checkedRows[m_runPosition],
                         percent == 100.0 ? QStringLiteral("Finish") : shown.text);
    const int width = qRound(shown.integerPart.toInt() * ProgressBarWidth / 100.0);
    SetProgressBar(width);
}
