#include "gui/MainWindow.h"

#include "base/IAudioCDGrabber2.h"
#include "base/IAudioFile2.h"
#include "base/IFreeDBInformation2.h"
#include "components/lookup/FreeDBLog.h"
#include "components/lookup/LookupChain.h"
#include "components/lookup/MusicBrainzInformation.h"
#include "components/lookup/TFreeDBInformation2.h"
#include "gui/About.h"
#include "gui/Desktop.h"
#include "gui/DirDialog.h"
#include "gui/ISkin.h"
#include "gui/Prompter.h"
#include "gui/ReleaseChooser.h"
#include "gui/RunStatus.h"
#include "gui/SettingsDialog.h"
#include "gui/TagEditor.h"
#include "rip/EncoderConfiguration.h"
#include "rip/TrackRecords.h"
#include "settings/SettingsFile.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHeaderView>
#include <QMenu>
#include <QProcess>
#include <QTableView>
#include <QTimer>

#include <cstdio>

namespace {

const QString NotAudioCd = QStringLiteral("The disc is not Audio CD!");
constexpr int ProgressBarWidth = 584;
constexpr int FreeDBQueryMode = 1;

// Sets a flag for as long as it lives, also when an exception leaves the scope.
class FlagScope
{
public:
    explicit FlagScope(bool& flag) : m_flag(flag) { m_flag = true; }
    ~FlagScope() { m_flag = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& m_flag;
};

} // namespace

Tfm_main::Tfm_main(MainWindowParts parts, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_parts(std::move(parts)), m_grabber(m_parts.grabber.get())
{
    if (!m_parts.freeDBInformation)
        m_parts.freeDBInformation = defaultLookup();
    m_freeDBInformation = m_parts.freeDBInformation.get();
    setObjectName(QStringLiteral("fm_main"));
    setWindowTitle(QStringLiteral("Ripwell Maker"));
    setFixedSize(611, 452);
    // No central widget: one would lie over the skin's buttons and take their clicks. The list
    // is placed on the window itself.
    buildTrackList();
    // Over the skin's hint below the list, as wide as the list and the bar.
    m_runStatus = new RunStatusLine(this);
    m_runStatus->setGeometry(13 - RunStatusLine::TextIndent, 424, 584 + RunStatusLine::TextIndent,
                             18);
    buildMenus();
    setAcceptDrops(true);
    m_dir = new Tfm_dir(this);
    m_dir->setPrompter(m_parts.prompter.get());
    buildSettingsDialog();
    connect(m_grabber, &IAudioCDGrabber2::OnMediaChange, this,
            [this] { runHandler([this] { AudioCDGrabber21MediaChange(); }); });
    connect(m_grabber, &IAudioCDGrabber2::OnOperationProgress, this, [this](double percent) {
        runHandler([this, percent] { AudioCDGrabber21OperationProgress(percent); });
    });
    connect(m_grabber, &IAudioCDGrabber2::OnFreeDBQueryStatus, this, [this](int status) {
        runHandler([this, status] { AudioCDGrabber21FreeDBQueryStatus(status); });
    });
    connect(m_freeDBInformation, &IFreeDBInformation2::logLine, this, &Tfm_main::appendFreeDBLog);
    connect(m_freeDBInformation, &IFreeDBInformation2::entryLoaded, this,
            [this](const FreeDBEntry& entry) { m_lookedUpEntry = entry; });
    // A grab that fails ends the grabbing as its last progress would; the run's engine says why.
    connect(m_grabber, &IAudioCDGrabber2::grabFailed, this, [this] { m_grabbing = false; });
    if (IAudioPlayer2* player = m_parts.player.get()) {
        connect(player, &IAudioPlayer2::OnEndArrayPlay, this,
                [this] { runHandler([this] { LoadNextBlock(); }); });
        connect(player, &IAudioPlayer2::OnRequestOnLoadArray, this,
                [this] { runHandler([this] { LoadNextBlock(); }); });
        connect(player, &IAudioPlayer2::OnEndPlay, this,
                [this] { runHandler([this] { StopPlay(); }); });
    }
    if (m_parts.skin)
        connect(m_parts.skin.get(), &ISkin::Click, this, [this](ISkinObject* object) {
            const QString name = object->Name();
            runHandler([this, name] { Skin1Click(name); });
        });
}

void Tfm_main::runHandler(const std::function<void()>& handler)
{
    // An exception must not unwind through the signal that called the handler: it goes to the
    // exception handler here, as one escaping an event does through the application object.
    try {
        handler();
    } catch (const std::exception& e) {
        reportException(QString::fromUtf8(e.what()));
    } catch (...) {
        reportException(QStringLiteral("unknown error"));
    }
}

void Tfm_main::reportException(const QString& message)
{
    // The text is for whoever reads the terminal; the handler's questions never show it.
    std::fprintf(stderr, "tunecrest: %s\n", message.toLocal8Bit().constData());
    // An error raised while the handler's own boxes are open is reported only once.
    if (m_handlingException)
        return;
    m_handlingException = true;
    ApplicationEvents1Exception(message);
    m_handlingException = false;
}

Tfm_main::~Tfm_main() = default;

void Tfm_main::buildTrackList()
{
    // A report view: grid lines, whole rows selected, several at once, nothing edited in place,
    // and headers that take no clicks.
    m_lv = new QTableView(this);
    m_lv->setObjectName(QStringLiteral("lv"));
    m_lv->setModel(&m_list);
    m_lv->setShowGrid(true);
    m_lv->setWordWrap(false);
    m_lv->setCornerButtonEnabled(false);
    m_lv->verticalHeader()->hide();
    m_lv->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_lv->verticalHeader()->setDefaultSectionSize(m_lv->fontMetrics().height() + 4);
    m_lv->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_lv->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_lv->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int column = 0; column < TrackListModel::ColumnCount; ++column)
        m_lv->setColumnWidth(column, TrackListModel::ColumnWidths[column]);
    m_lv->setColumnHidden(TrackListModel::PathColumn, true);
    QHeaderView* header = m_lv->horizontalHeader();
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setSectionsMovable(false);
    header->setStretchLastSection(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_lv->setGeometry(13, 122, 575, 264);
    m_lv->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_lv, &QTableView::customContextMenuRequested, this,
            [this](const QPoint& at) { m_popupMenu2->popup(m_lv->viewport()->mapToGlobal(at)); });
    connect(m_lv, &QTableView::clicked, this, [this] { runHandler([this] { SelectTrackRow(); }); });
}

void Tfm_main::buildMenus()
{
    const auto menu = [this](const char* name) {
        auto* created = new QMenu(this);
        created->setObjectName(QLatin1StringView(name));
        return created;
    };
    const auto item = [this](QMenu* owner, const char* name, const QString& caption,
                             void (Tfm_main::*handler)()) {
        QAction* action = owner->addAction(caption);
        action->setObjectName(QLatin1StringView(name));
        connect(action, &QAction::triggered, this,
                [this, handler] { runHandler([this, handler] { (this->*handler)(); }); });
    };
    m_popupMenu1 = menu("PopupMenu1");
    // Refresh and FreeDB use the grabber: they wait, like the skin commands, while a run or
    // playback has it.
    item(m_popupMenu1, "N1", QStringLiteral("Refresh"), &Tfm_main::N1Click);
    item(m_popupMenu1, "Play1", QStringLiteral("FreeDB"), &Tfm_main::Play1Click);
    m_popupMenu1->addSeparator();
    item(m_popupMenu1, "oWMA1", QStringLiteral("To WMA"), &Tfm_main::oWMA1Click);
    // The other formats the settings configure, for a run started from the menu.
    const auto formatItem = [this](const char* name, const QString& caption,
                                   OutputFormatNumber format) {
        QAction* action = m_popupMenu1->addAction(caption);
        action->setObjectName(QLatin1StringView(name));
        connect(action, &QAction::triggered, this,
                [this, format] { runHandler([this, format] { convertTo(format); }); });
    };
    formatItem("oMP31", QStringLiteral("To MP3"), OutputFormatNumber::Mp3);
    formatItem("oOgg1", QStringLiteral("To Ogg"), OutputFormatNumber::OggVorbis);
    formatItem("oWAV1", QStringLiteral("To WAV"), OutputFormatNumber::Wav);
    formatItem("oFLAC1", QStringLiteral("To FLAC"), OutputFormatNumber::Flac);
    formatItem("oOpus1", QStringLiteral("To Opus"), OutputFormatNumber::Opus);
    formatItem("oAAC1", QStringLiteral("To AAC"), OutputFormatNumber::Aac);
    item(m_popupMenu1, "N2", QStringLiteral("Stop"), &Tfm_main::StopConversion);
    m_popupMenu1->addSeparator();
    item(m_popupMenu1, "OpenImage1", QStringLiteral("Open disc image\u2026"),
         &Tfm_main::OpenImage1Click);
    m_recentImages = menu("RecentImages1");
    m_recentImages->setTitle(QStringLiteral("Recent disc images"));
    m_popupMenu1->addMenu(m_recentImages)->setObjectName(QStringLiteral("RecentImagesItem1"));
    fillRecentImages();
    item(m_popupMenu1, "CheckRip1", QStringLiteral("Check rip\u2026"), &Tfm_main::CheckRip1Click);
    m_popupMenu1->addSeparator();
    item(m_popupMenu1, "Exit1", QStringLiteral("Exit"), &Tfm_main::Exit1Click);

    m_popupMenu2 = menu("PopupMenu2");
    item(m_popupMenu2, "SelectAll1", QStringLiteral("Select All"), &Tfm_main::SelectAll1Click);
    item(m_popupMenu2, "UnselectAll1", QStringLiteral("Unselect All"),
         &Tfm_main::UnselectAll1Click);
    m_popupMenu2->addSeparator();
    item(m_popupMenu2, "Play2", QStringLiteral("Play"), &Tfm_main::Play2Click);
    item(m_popupMenu2, "Stop3", QStringLiteral("Stop"), &Tfm_main::Stop3Click);

    m_popupMenu3 = menu("PopupMenu3");
    item(m_popupMenu3, "Content1", QStringLiteral("Content"), &Tfm_main::Content1Click);
    item(m_popupMenu3, "Visitourweb1", QStringLiteral("Visit our web"),
         &Tfm_main::Visitourweb1Click);
    m_popupMenu3->addSeparator();
    item(m_popupMenu3, "About1", QStringLiteral("About"), &Tfm_main::About1Click);
}

QMenu* Tfm_main::popupMenu(int number) const
{
    switch (number) {
    case 1:
        return m_popupMenu1;
    case 2:
        return m_popupMenu2;
    case 3:
        return m_popupMenu3;
    default:
        return nullptr;
    }
}

void Tfm_main::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // The window paints first; the start-up then runs from the event loop, once.
    QTimer::singleShot(0, this, [this] {
        if (!m_started)
            runHandler([this] { FormShow(); });
    });
}

void Tfm_main::FormShow()
{
    m_started = true;
    m_freedbWindow = m_converting = m_playing = false;
    m_currentTrack = -1;
    if (!loadSkin())
        return;
    SetProgressBar(0);
    m_settings = std::make_unique<SettingsFile>(m_parts.settingsPath);
    if (!m_settings->problem().isEmpty())
        std::fprintf(stderr, "tunecrest: %s; the default settings are used\n",
                     m_settings->problem().toLocal8Bit().constData());
    m_outputScheme = m_settings->read(Keys::Main::Output);
    fillRecentImages();
    if (!AudioCDPresent())
        m_parts.prompter->information(
            this, QStringLiteral("The disc is not Audio CD, Please take out disc!"));
    const bool endAfterStartUp = !DetectDevices();
    applyGrabOptions(*m_settings, *m_grabber);
    ReadDiscToList();
    if (m_audioFile)
        m_audioFile->OptionFlag(-1);
    m_lv->setGeometry(13, 122, 575, 264);
    // With no drive the program ends, once the start-up has run; closing the main window ends it
    // through the close path.
    if (endAfterStartUp)
        close();
}

bool Tfm_main::loadSkin()
{
    ISkin* skin = m_parts.skin.get();
    if (!skin)
        return true;
    try {
        skin->LoadSkin(m_parts.skinPath);
        skin->ApplySkin(this);
        skin->ApplySkinForm(this, QStringLiteral("TunecrestRipper"));
    } catch (const std::exception& e) {
        // Without its face the window has no commands: say why and end.
        const QString message = QString::fromUtf8(e.what());
        std::fprintf(stderr, "tunecrest: %s\n", message.toLocal8Bit().constData());
        m_parts.prompter->information(this, message);
        m_closed = true;
        close();
        QCoreApplication::exit(1);
        return false;
    }
    m_lv->raise();
    m_pb = skin->GetObjectByName(this, QStringLiteral("pb"));
    if (m_pb)
        m_pbRect = m_pb->GetRect();
    return true;
}

bool Tfm_main::DetectDevices()
{
    m_grabber->Initialize();
    if (m_grabber->DeviceCount() < 1) {
        if (m_parts.prompter->question(
                this,
                QStringLiteral("Can not detect CD-ROM device,download ASPI driver program and "
                               "install it. it will probably fix the problems. Download it? "),
                IPrompter::Icon::Information))
            openWithDesktop(helpPageAddress(HelpPage::DriverDownload));
        m_grabber->Uninitialize();
        return false;
    }
    m_grabber->CurrentDevice(m_grabber->DeviceCount());
    m_audioFile = m_grabber->AudioFile();
    return true;
}

void Tfm_main::SetProgressBar(int width)
{
    if (!m_pb)
        return;
    QRect bar = m_pbRect;
    bar.setWidth(width == ProgressBarWidth ? 0 : width);
    m_pb->SetRect(bar);
    m_pb->Repaint();
}

void Tfm_main::Skin1Click(const QString& name)
{
    if (name == u"file") {
        openPopup(m_popupMenu1, 20, 64);
    } else if (name == u"settings") {
        if (!m_converting)
            showSettings();
    } else if (name == u"help") {
        openPopup(m_popupMenu3, 208, 64);
    } else if (name == u"help1") {
        openWithDesktop(helpPageAddress(HelpPage::Faq));
    } else if (name == u"freedb") {
        if (!m_converting && !m_playing) {
            FlagScope window(m_freedbWindow);
            RunFreeDBLookup();
        }
    } else if (name == u"refresh") {
        if (!m_converting && !m_playing)
            ReadDiscToList();
    } else if (name == u"stopconverter") {
        StopConversion();
    } else if (name == u"play") {
        if (!m_converting && m_currentTrack != -1) {
            adoptSelection();
            PlayCurrentTrack();
        }
    } else if (name == u"playstop") {
        if (m_playing && m_currentTrack != -1)
            StopPlay();
    } else if (name == u"converter") {
        convertTo(OutputFormatNumber::Wma);
    } else if (name == u"pause") {
        if (m_playing)
            TogglePause();
    } else if (name == u"id3") {
        showTagEditor();
    }
}

void Tfm_main::openPopup(QMenu* menu, int dx, int dy)
{
    menu->popup(frameGeometry().topLeft() + QPoint(dx, dy));
}

void Tfm_main::N1Click()
{
    if (!m_converting && !m_playing)
        ReadDiscToList();
}

void Tfm_main::Play1Click()
{
    if (!m_converting && !m_playing)
        RunFreeDBLookup();
}

void Tfm_main::oWMA1Click()
{
    convertTo(OutputFormatNumber::Wma);
}

void Tfm_main::convertTo(OutputFormatNumber format)
{
    if (!m_converting) {
        m_outputFormat = format;
        ConvertChecked();
    }
}

void Tfm_main::Exit1Click()
{
    close();
}

void Tfm_main::Content1Click()
{
    openWithDesktop(helpPageAddress(HelpPage::Faq));
}

void Tfm_main::Visitourweb1Click()
{
    openWithDesktop(helpPageAddress(HelpPage::Home));
}

void Tfm_main::About1Click()
{
    if (m_about)
        m_about->showCentred();
}

void Tfm_main::setAboutWindow(Tfm_about* about)
{
    m_about = about;
}

bool Tfm_main::AudioCDPresent() const
{
    // An empty drive counts, as does one with an audio track; a data disc does not.
    for (int number = 1; number <= m_grabber->DeviceCount(); ++number)
        if (m_grabber->driveState(number) != DriveState::DataDisc)
            return true;
    return false;
}

void Tfm_main::ReadDiscToList()
{
    // A read asked for while the list fills (the fill processes events) or while a run or the
    // tag editor holds the rows runs once they are done.
    if (m_reading || rereadHeldBack()) {
        m_readAgain = true;
        return;
    }
    if (!AudioCDPresent()) {
        m_parts.prompter->information(this, NotAudioCd);
        return;
    }
    {
        FlagScope reading(m_reading);
        ++m_listGeneration;
        m_list.clearRows();
        m_grabber->ReadDisc();
        const int count = m_grabber->TrackCount();
        if (count < 1) {
            m_list.clearRows();
            m_currentTrack = -1;
        } else {
            m_list.resizeTable(count);
            for (int index = 0; index < count && !m_closed; ++index) {
                m_list.appendTrack(
                    readTrackRow(*m_grabber, index, m_list.trackTable().at(index).Comment));
                QCoreApplication::processEvents();
            }
            m_list.setAlbumArtist(readAlbumArtist(*m_grabber));
            if (selectedRows().isEmpty() && m_list.rowCount() > 0)
                m_lv->setCurrentIndex(m_list.index(0, 0));
            const QList<int> now = selectedRows();
            m_currentTrack = now.isEmpty() ? -1 : now.front();
        }
    }
    if (m_readAgain) {
        m_readAgain = false;
        ReadDiscToList();
    }
}

QList<int> Tfm_main::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : m_lv->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int Tfm_main::currentSelectedRow() const
{
    const QModelIndex current = m_lv->currentIndex();
    if (current.isValid() && m_lv->selectionModel()->isRowSelected(current.row(), {}))
        return current.row();
    return -1;
}

void Tfm_main::SelectTrackRow()
{
    const QList<int> selected = selectedRows();
    if (selected.isEmpty() || m_playing || m_converting)
        return;
    const int current = currentSelectedRow();
    m_currentTrack = current >= 0 ? current : selected.front();
}

void Tfm_main::SelectAll1Click()
{
    if (!m_converting)
        m_list.setAllChecked(true);
}

void Tfm_main::UnselectAll1Click()
{
    if (!m_converting)
        m_list.setAllChecked(false);
}

void Tfm_main::AudioCDGrabber21MediaChange()
{
    // A run tags its files from the rows, and the tag editor writes its copy back onto them: a
    // new disc's list waits until they are done.
    // The played disc may be gone: playback ends before anything reads from it again, also
    // while the new list waits.
    if (m_playing)
        StopPlay();
    if (rereadHeldBack()) {
        m_mediaChangeHeldBack = true;
        return;
    }
    // What the last run came to was about the disc that went.
    m_runStatus->setText(QString());
    if (AudioCDPresent()) {
        ReadDiscToList();
        RunFreeDBLookup();
    } else {
        m_parts.prompter->information(this, NotAudioCd);
    }
}

bool Tfm_main::rereadHeldBack() const
{
    return m_converting || m_runActive || m_tagEditorOpen;
}

void Tfm_main::rereadIfHeldBack()
{
    if (rereadHeldBack())
        return;
    if (m_mediaChangeHeldBack) {
        m_mediaChangeHeldBack = m_readAgain = false;
        AudioCDGrabber21MediaChange();
    } else if (m_readAgain) {
        m_readAgain = false;
        ReadDiscToList();
    }
}

void Tfm_main::setTagEditorOpen(bool open)
{
    m_tagEditorOpen = open;
    rereadIfHeldBack();
}

void Tfm_main::adoptSelection()
{
    const int selected = currentSelectedRow();
    if (selected >= 0 && selected != m_currentTrack)
        SelectTrackRow();
}

void Tfm_main::Play2Click()
{
    // The list's "Play" pauses and resumes a track that plays.
    if (m_converting || m_currentTrack == -1)
        return;
    adoptSelection();
    if (m_playing)
        TogglePause();
    else
        PlayCurrentTrack();
}

void Tfm_main::Stop3Click()
{
    if (m_playing && m_currentTrack != -1)
        StopPlay();
}

void Tfm_main::PlayCurrentTrack()
{
    PlayTrack(m_currentTrack);
}

void Tfm_main::setPlayStatus(const QString& status)
{
    m_list.setStatus(m_currentTrack, status);
}

QString Tfm_main::playStatus() const
{
    return m_list.status(m_currentTrack);
}

void Tfm_main::PlayTrack(int index)
{
    IAudioPlayer2* player = m_parts.player.get();
    if (index < 0 || m_converting || !player)
        return;
    if (playStatus() == u"Pause") {
        setPlayStatus(QStringLiteral("Playing"));
        player->Play();
        return;
    }
    if (m_playing)
        return;
    m_playing = true;
    m_list.setStatus(index, QStringLiteral("Playing"));
    m_grabber->CurrentTrack(index);
    m_grabber->BeginRead();
    player->SetFormat(44100, 2);
    try {
        player->Play();
    } catch (const NoAudioOutputError& e) {
        // Without a sound output there is nothing to play: said once, and playback stays
        // stopped with the window usable.
        m_playing = false;
        m_grabber->EndRead();
        m_list.setStatus(index, QStringLiteral("Stop Play"));
        std::fprintf(stderr, "tunecrest: %s\n", e.message().toLocal8Bit().constData());
        m_parts.prompter->information(this, e.message());
        return;
    }
    LoadNextBlock();
    LoadNextBlock();
}

void Tfm_main::LoadNextBlock()
{
    // Events of the player may still arrive after playback stopped; they read nothing then.
    if (!m_playing || !m_parts.player)
        return;
    QByteArray block;
    try {
        block = m_grabber->ReadBlock(10);
    } catch (const ComponentError&) {
        // A disc taken out while it plays ends playback; the disc change that follows
        // rebuilds the list. A disc that is still there but unreadable is a fault to report.
        if (m_grabber->driveState(m_grabber->currentDevice()) == DriveState::AudioDisc)
            throw;
        StopPlay();
        return;
    }
    // A block holds at least one whole stereo frame, or it is not queued.
    if (block.size() >= 4)
        m_parts.player->PlayArray(block);
}

void Tfm_main::TogglePause()
{
    IAudioPlayer2* player = m_parts.player.get();
    if (!player)
        return;
    if (playStatus() != u"Pause") {
        setPlayStatus(QStringLiteral("Pause"));
        player->Stop();
    } else {
        setPlayStatus(QStringLiteral("Playing"));
        player->Play();
    }
}

void Tfm_main::StopPlay()
{
    m_playing = false;
    if (m_parts.player)
        m_parts.player->Stop();
    m_grabber->EndRead();
    setPlayStatus(QStringLiteral("Stop Play"));
}

void Tfm_main::RunFreeDBLookup()
{
    // Identifiers and cover belong to the disc they were looked up for.
    m_lookedUpEntry = FreeDBEntry();
    if (!AudioCDPresent()) {
        m_parts.prompter->information(this, NotAudioCd);
        return;
    }
    if (m_freedbWindow) {
        Tfm_dir* dir = dirDialog();
        connect(dir, &Tfm_dir::retryClicked, this, &Tfm_main::edt_retryClick, Qt::UniqueConnection);
        dir->showFreeDBInfo(this, true);
    }
    m_grabber->QueryFreeDB(*m_freeDBInformation, FreeDBQueryMode);
}

void Tfm_main::edt_retryClick()
{
    // The same query again; the log keeps what it shows.
    runHandler([this] { m_grabber->QueryFreeDB(*m_freeDBInformation, FreeDBQueryMode); });
}

void Tfm_main::AudioCDGrabber21FreeDBQueryStatus(int status)
{
    const QStringList lines = freeDBStatusLines(status);
    if (lines.isEmpty())
        return;
    for (const QString& line : lines)
        appendFreeDBLog(line);
    // The log repaints while the lookup goes on.
    QCoreApplication::processEvents();
    // The fetched texts come in with a full read of the disc; during a run or while the tag
    // editor is open the read waits for them.
    if (FreeDBStatus::isLoaded(status))
        ReadDiscToList();
}

std::unique_ptr<IFreeDBInformation2> Tfm_main::defaultLookup()
{
    // CDDB, then MusicBrainz; of several releases the user picks one.
    auto musicBrainz = std::make_unique<MusicBrainzInformation>(m_parts.settingsPath);
    musicBrainz->setChooser([this](const QList<MusicBrainzReleaseSummary>& releases) {
        return chooseRelease(this, releases);
    });
    return std::make_unique<LookupChain>(
        m_parts.settingsPath, std::make_unique<TFreeDBInformation2>(m_parts.settingsPath),
        std::move(musicBrainz));
}

void Tfm_main::appendFreeDBLog(const QString& line)
{
    // Silent lookups write to the log as well; it is cleared when the window opens.
    dirDialog()->appendLog(line);
}

void Tfm_main::buildSettingsDialog()
{
    SettingsDialogHost host;
    host.settings = [this] { return m_settings.get(); };
    host.grabber = m_grabber;
    host.outputScheme = [this] { return m_outputScheme; };
    host.setOutputScheme = [this](int scheme) { m_outputScheme = scheme; };
    // The newly chosen drive's disc, looked up without the lookup's window.
    host.readChangedDrive = [this] {
        ReadDiscToList();
        RunFreeDBLookup();
    };
    host.showError = [this](const QString& message) {
        std::fprintf(stderr, "tunecrest: %s\n", message.toLocal8Bit().constData());
        m_parts.prompter->information(m_set, message);
    };
    host.reportException = [this](const QString& message) { reportException(message); };
    m_set = new Tfm_set(std::move(host), m_dir, this);
}

TagEditorHost Tfm_main::tagEditorHost()
{
    TagEditorHost host;
    host.captions = [this] {
        QStringList captions;
        for (int row = 0; row < m_list.rowCount(); ++row)
            captions << m_list.caption(row);
        return captions;
    };
    host.trackTable = [this] { return m_list.trackTable(); };
    host.listGeneration = [this] { return m_listGeneration; };
    host.takeTrackTable = [this](const TrackTable& table) { m_list.setTrackTable(table); };
    host.setOpen = [this](bool open) { setTagEditorOpen(open); };
    return host;
}

void Tfm_main::showSettings()
{
    if (!m_set->isVisible())
        m_set->showModal();
}

void Tfm_main::showTagEditor()
{
    // Modal, whatever the window is doing; the editor holds re-reads of the disc back while it
    // is open.
    auto* editor = findChild<Tfm_id3*>(QString(), Qt::FindDirectChildrenOnly);
    if (editor && !editor->isVisible())
        editor->exec();
}

void Tfm_main::closeEvent(QCloseEvent* event)
{
    if (!m_closed)
        FormCloseQuery();
    // Output ends with the window, not when the window object is released later.
    if (m_playing)
        StopPlay();
    m_closed = true;
    event->accept();
}

void Tfm_main::FormCloseQuery()
{
    // A run ends first, as after "stopconverter": its track is closed, tagged and named, and its
    // log written. The run still reads the settings as it unwinds, so while it is on the stack
    // the store is released when it returns.
    if (m_converting)
        StopConversion();
    if (!m_settings)
        return;
    try {
        m_settings->writeInteger(QLatin1StringView(Keys::Main::Section),
                                 QLatin1StringView(Keys::Main::Output.key), m_outputScheme);
    } catch (const std::exception& e) {
        // Reported once; the window closes all the same, or the program could never end.
        const QString message = QString::fromUtf8(e.what());
        std::fprintf(stderr, "tunecrest: %s\n", message.toLocal8Bit().constData());
        m_parts.prompter->information(this, message);
    }
    if (m_runActive)
        m_settingsReleasedAfterRun = true;
    else
        m_settings.reset();
}

void Tfm_main::setRestartPreparation(std::function<void()> prepare)
{
    m_prepareRestart = std::move(prepare);
}

void Tfm_main::ApplicationEvents1Exception(const QString&)
{
    if (m_outputFormat == OutputFormatNumber::Wma &&
        m_parts.prompter->question(
            this,
            QStringLiteral("This file can not be supported, this problem may be solved by "
                           "download and install free audio encode and reinstall Tunecrest WAV "
                           "Maker. Will you download it?"),
            IPrompter::Icon::Information)) {
        openWithDesktop(helpPageAddress(HelpPage::RuntimeDownload));
        StopConversion();
        return;
    }
    const bool again = m_parts.prompter->question(
        this, QStringLiteral("A system error occurs,click Yes to execute again,click No to exit!"),
        IPrompter::Icon::Question);
    close();
    if (again) {
        if (m_prepareRestart)
            m_prepareRestart();
        QProcess::startDetached(QCoreApplication::applicationFilePath(), {});
    }
}
