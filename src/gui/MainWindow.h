#pragma once

#include "base/IAudioCDGrabber2.h"
#include "base/IAudioFile2LameEnc.h"
#include "base/IAudioPlayer2.h"
#include "base/IFreeDBInformation2.h"
#include "gui/ISkin.h"
#include "gui/Prompter.h"
#include "gui/TagEditor.h"
#include "rip/CDFreedinfo.h"
#include "rip/OutputFormatNumber.h"
#include "rip/TrackListModel.h"

#include <QMainWindow>
#include <QRect>

#include <functional>
#include <memory>

class IAudioFile2;
class QMenu;
class QTableView;
class RipEngine;
struct RipRequest;
class RunStatusLine;
class SettingsFile;
class Tfm_about;
class Tfm_dir;
class Tfm_set;

/// What the main window works with; tests put recording fakes in place of some.
struct MainWindowParts
{
    std::unique_ptr<IAudioCDGrabber2> grabber;
    std::unique_ptr<IAudioFile2LameEnc> lame; // the MP3 encoder the audio file encodes with
    std::unique_ptr<ISkin> skin;
    std::unique_ptr<IAudioPlayer2> player; // none: the play commands do nothing
    std::unique_ptr<IPrompter> prompter;
    QString settingsPath; // the settings file
    QString skinPath;     // the skin file; empty: none was found
    /// The disc lookup; empty: the lookup over the network and the local file that the
    /// settings file's Freedb section configures.
    std::unique_ptr<IFreeDBInformation2> freeDBInformation;
};

/// The main window: the skinned face, the track list of the disc in the drive, and the dispatch
/// of every command to the work behind it.
class Tfm_main final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Tfm_main)
public:
    explicit Tfm_main(MainWindowParts parts, QWidget* parent = nullptr);
    ~Tfm_main() override;

    /// The start-up that runs when the window is first shown; public so tests can run it at a
    /// time of their choosing.
    void FormShow();

    void Skin1Click(const QString& objectName);
    /// The progress bar's width, 0 to 584; 584 itself leaves it empty.
    void SetProgressBar(int width);

    bool AudioCDPresent() const;
    void ReadDiscToList();
    void SelectTrackRow();
    void SelectAll1Click();
    void UnselectAll1Click();
    void AudioCDGrabber21MediaChange();

    /// Converts the checked rows, one after another, into files of the output format; returns
    /// when the run has ended. An error of a component or a writer (also a grab that failed on
    /// its thread) leaves the run and reaches the exception handler.
    void ConvertChecked();
    void StopConversion();
    void AudioCDGrabber21OperationProgress(double percent);
    /// Starts a run in the format given, unless one is active.
    void convertTo(OutputFormatNumber format);
    /// The line below the list: the run's progress and time left, then what the run came to;
    /// empty (the skin's hint shows) until a run starts and after a disc change.
    QString runStatusText() const;

    /// Adds the disc image at path as a drive (or takes the drive that has it), selects it and
    /// reads it as a disc change would, and puts it first in the recent images. An image that
    /// cannot be read is said in a box and not selected. Does nothing during a run.
    void openDiscImage(const QString& path);
    /// The disc images opened last, most recent first (settings section Images).
    QStringList recentImages() const;

    // Playback, the disc lookup and the dialogs behind the commands.
    void PlayCurrentTrack();
    /// Starts the track at index, or resumes it when its row is paused.
    void PlayTrack(int index);
    /// Reads the next block of the played track and queues it in the player.
    void LoadNextBlock();
    void StopPlay();
    void TogglePause();
    void RunFreeDBLookup();
    /// The lookup's statuses: their lines go to the log; Loaded re-reads the disc.
    void AudioCDGrabber21FreeDBQueryStatus(int status);

    /// Checks the rip whose cue sheet is sheet; the verdicts go to the lookup window's log.
    void checkRip(const QString& sheet);

    /// Every exception that reaches the event loop.
    void ApplicationEvents1Exception(const QString& message);
    /// Writes message to standard error and hands it to the exception handler, unless the
    /// handler is already at work.
    void reportException(const QString& message);
    void setAboutWindow(Tfm_about* about);
    /// Called before the program starts itself anew, so the new process can take over.
    void setRestartPreparation(std::function<void()> prepare);

    // State other parts of the program read and set.
    const TrackTable& trackTable() const { return m_list.trackTable(); }
    /// The rows of the list lv: their records, cells, statuses and check boxes.
    TrackListModel& trackModel() { return m_list; }
    const TrackListModel& trackModel() const { return m_list; }
    int currentTrack() const { return m_currentTrack; }
    bool converting() const { return m_converting; }
    bool playing() const { return m_playing; }
    void setConverting(bool on) { m_converting = on; }
    void setPlaying(bool on) { m_playing = on; }
    /// While the tag editor is open, re-reads of the disc wait for it.
    void setTagEditorOpen(bool open);
    /// What the tag editor works on: copies of the list's captions and track table.
    TagEditorHost tagEditorHost();
    /// Counts the reads of the disc into the list; a changed count means the rows were rebuilt.
    int listGeneration() const { return m_listGeneration; }
    OutputFormatNumber outputFormat() const { return m_outputFormat; }
    int outputScheme() const { return m_outputScheme; }
    void setOutputScheme(int scheme) { m_outputScheme = scheme; }
    IAudioCDGrabber2& grabber() { return *m_grabber; }
    ISkin* skin() const { return m_parts.skin.get(); }
    QTableView* trackList() const { return m_lv; }
    QMenu* popupMenu(int number) const;
    /// The output folder dialog, which also shows the disc lookup's log; created with the window.
    Tfm_dir* dirDialog() const { return m_dir; }
    /// The settings dialog; created with the window.
    Tfm_set* settingsDialog() const { return m_set; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    /// A dropped .cue, .toc or .nrg file is opened as a disc image.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    /// Runs a handler called by a signal; an exception it raises goes to the exception handler.
    void runHandler(const std::function<void()>& handler);
    void buildTrackList();
    void buildMenus();
    /// False when the skin cannot be loaded; the program then ends.
    bool loadSkin();
    /// False when no drive is found; the program then ends after the start-up.
    bool DetectDevices();
    void openPopup(QMenu* menu, int dx, int dy);
    void N1Click();
    void Play1Click();
    void Play2Click();
    void Stop3Click();
    /// Makes the selected row the current track, where the list allows it.
    void adoptSelection();
    void oWMA1Click();
    void OpenImage1Click();
    /// Checks an earlier rip, picked by its cue sheet, against its log and the AccurateRip
    /// database; the verdicts go to the lookup window's log.
    void CheckRip1Click();
    /// Puts image first in the recent images (at most Keys::Images::RecentCount) and the menu.
    void rememberImage(const QString& image);
    void forgetImage(const QString& image);
    void writeRecentImages(const QStringList& images);
    /// The File menu's list of the recent images, anew from the settings file.
    void fillRecentImages();
    /// The number of the drive that holds image, added when none does; 0 when the grabber
    /// cannot add image drives.
    int imageDrive(const QString& image);
    void Exit1Click();
    void Content1Click();
    void Visitourweb1Click();
    void About1Click();
    void showSettings();
    void buildSettingsDialog();
    void showTagEditor();
    void appendFreeDBLog(const QString& line);
    std::unique_ptr<IFreeDBInformation2> defaultLookup();
    void edt_retryClick();
    bool rereadHeldBack() const;
    void rereadIfHeldBack();
    void FormCloseQuery();
    /// The indexes of the selected rows, in list order.
    QList<int> selectedRows() const;
    /// The current row when it is selected; -1 otherwise.
    int currentSelectedRow() const;
    /// What follows every run, however it ended: the line below the list, the stored read mode;
    /// the settings are released when the window was closed during the run, which it returns.
    bool endRun(const RipEngine& engine);
    /// Whether the run's output folder is there or can be made, and takes files; says why not.
    bool outputFolderReady(const QString& root);
    /// What a run of the window asks the engine for: the output format and the stored settings.
    RipRequest runRequest(const QString& root) const;
    /// Runs the engine until it ends, the window's state and the status line following it.
    void runEngine(RipEngine& engine);
    /// The status line and, while the window is not active, the desktop say how the run ended.
    void reportRunEnd(const RipEngine& engine);
    void setPlayStatus(const QString& status);
    QString playStatus() const;

    MainWindowParts m_parts;
    IAudioCDGrabber2* m_grabber;
    IFreeDBInformation2* m_freeDBInformation; // FreeDBInformation21
    FreeDBEntry m_lookedUpEntry; // the last lookup's entry: identifiers and cover for the tags
    std::unique_ptr<SettingsFile> m_settings;
    TrackListModel m_list;
    QTableView* m_lv = nullptr;
    QMenu* m_popupMenu1 = nullptr;
    QMenu* m_popupMenu2 = nullptr;
    QMenu* m_popupMenu3 = nullptr;
    QMenu* m_recentImages = nullptr; // in PopupMenu1
    RunStatusLine* m_runStatus = nullptr;
    Tfm_about* m_about = nullptr;
    Tfm_dir* m_dir = nullptr;
    Tfm_set* m_set = nullptr;
    ISkinObject* m_pb = nullptr;
    QRect m_pbRect;
    std::function<void()> m_prepareRestart;

    int m_currentTrack = -1;
    bool m_converting = false;
    bool m_grabbing = false;
    bool m_playing = false;
    bool m_freedbWindow = false;
    OutputFormatNumber m_outputFormat = OutputFormatNumber::Mp3;
    int m_outputScheme = 0;
    IAudioFile2* m_audioFile = nullptr;
    QList<int> m_checkedRows;      // the rows a run converts, in list order
    int m_runPosition = -1;        // the row of m_checkedRows being converted
    bool m_runActive = false;      // ConvertChecked is on the stack
    RipEngine* m_engine = nullptr; // the run's engine while it works

    bool m_started = false;
    bool m_reading = false;   // the list is being filled
    bool m_readAgain = false; // a read was asked for while one ran or was held back
    bool m_tagEditorOpen = false;
    int m_listGeneration = 0;
    bool m_mediaChangeHeldBack = false; // a disc change came while the rows were held
    bool m_closed = false;
    bool m_settingsReleasedAfterRun = false; // closed while a run was on the stack
    bool m_handlingException = false;
};
