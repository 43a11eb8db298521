#include "gui/MainWindowTestSupport.h"
#include "settings/SettingsFile.h"

#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QTimer>

namespace {

TEST_F(MainWindowTest, StartUpListsTheDiscWithItsTexts)
{
    auto main = window({makeDisc(QStringLiteral("disc"), textDisc())});
    main->FormShow();
    EXPECT_TRUE(m_shown.isEmpty()) << m_shown.join(u'|').toStdString();
    EXPECT_EQ(main->windowTitle(), QStringLiteral("Ripwell Maker"));
    EXPECT_EQ(main->size(), QSize(611, 452));

    QTableView* view = main->trackList();
    TrackListModel& list = main->trackModel();
    EXPECT_EQ(view->objectName(), QStringLiteral("lv"));
    EXPECT_EQ(view->geometry(), QRect(13, 122, 575, 264));
    const QStringList captions{QStringLiteral("File  Name"), QStringLiteral("Artist"),
                               QStringLiteral("Album"),      QStringLiteral("Time"),
                               QStringLiteral("Stauts"),     QStringLiteral("Path")};
    for (int column = 0; column < captions.size(); ++column)
        EXPECT_EQ(view->model()->headerData(column, Qt::Horizontal).toString(), captions[column]);
    EXPECT_TRUE(view->isColumnHidden(5));
    ASSERT_EQ(list.rowCount(), 3);
    EXPECT_EQ(row(list, 0),
              (QStringList{QStringLiteral("Intro"), QStringLiteral("Art/Pop"),
                           QStringLiteral("Live: Bootleg"), QStringLiteral("04:35:12"),
                           QStringLiteral("Unconverter")}));
    EXPECT_EQ(row(list, 1)[0], QStringLiteral("Café Müller"));
    EXPECT_EQ(row(list, 2)[3], QStringLiteral("00:01:0"));
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(list.isChecked(i));
    EXPECT_EQ(main->currentTrack(), 0);
    EXPECT_TRUE(view->selectionModel()->isRowSelected(0, {}));
    ASSERT_EQ(main->trackTable().size(), 3);
    EXPECT_EQ(main->trackTable()[1].Title, QStringLiteral("Café Müller"));
    EXPECT_EQ(main->trackTable()[1].Album, QStringLiteral("Live: Bootleg"));
}

TEST_F(MainWindowTest, PlaceholdersForADiscWithoutTexts)
{
    std::vector<int> lengths(11, 75);
    auto main = window({makeDisc(QStringLiteral("plain"), DiscFixture::audioDisc(lengths))});
    main->FormShow();
    TrackListModel& list = main->trackModel();
    ASSERT_EQ(list.rowCount(), 11);
    EXPECT_EQ(row(list, 0),
              (QStringList{QStringLiteral("Track01"), QStringLiteral("Unknown Artist"),
                           QStringLiteral("Unknown Album"), QStringLiteral("00:01:0"),
                           QStringLiteral("Unconverter")}));
    EXPECT_EQ(row(list, 10)[0], QStringLiteral("Track11"));
    EXPECT_EQ(main->trackTable()[10].Title, QStringLiteral("Track11"));
}

TEST_F(MainWindowTest, EmptyDriveDataDiscAndNoDrive)
{
    // An empty drive counts as present: no box, an empty list.
    auto empty = window({path(QStringLiteral("nothing.cue"))});
    empty->FormShow();
    EXPECT_TRUE(m_shown.isEmpty()) << m_shown.join(u'|').toStdString();
    EXPECT_EQ(empty->trackModel().rowCount(), 0);
    EXPECT_EQ(empty->currentTrack(), -1);

    DiscFixture::DiscLayout data;
    data.dataTrackSectors = 300;
    auto dataDisc = window({makeDisc(QStringLiteral("data"), data)});
    dataDisc->FormShow();
    EXPECT_EQ(m_shown,
              (QStringList{QStringLiteral("The disc is not Audio CD, Please take out disc!"),
                           QStringLiteral("The disc is not Audio CD!")}));
    EXPECT_EQ(dataDisc->trackModel().rowCount(), 0);

    // No drive at all: the driver question; Yes opens the page about drives.
    m_shown.clear();
    m_answers = {true};
    auto none = window({});
    none->show();
    none->FormShow();
    EXPECT_FALSE(none->isVisible()); // the program ends after its start-up
    ASSERT_EQ(m_shown.size(), 3) << m_shown.join(u'|').toStdString();
    EXPECT_TRUE(
        m_shown[1].startsWith(QStringLiteral("Can not detect CD-ROM device,download ASPI")));
    EXPECT_TRUE(m_shown[1].endsWith(QStringLiteral("Download it? ")));
    EXPECT_EQ(m_shown[2], QStringLiteral("The disc is not Audio CD!"));
    ASSERT_EQ(opened().size(), 1);
    EXPECT_TRUE(opened()[0].endsWith(QStringLiteral("/drive.html"))) << opened()[0].toStdString();
}

TEST_F(MainWindowTest, DiscChangesReReadTheListButWaitForARun)
{
    const QString cue = makeDisc(QStringLiteral("disc"), textDisc());
    auto main = window({cue});
    main->FormShow();
    ASSERT_EQ(main->trackModel().rowCount(), 3);

    // Removed: an empty drive, an empty list.
    QSignalSpy changes(&main->grabber(), &IAudioCDGrabber2::OnMediaChange);
    QFile::remove(cue);
    ASSERT_TRUE(changes.wait(5000));
    EXPECT_EQ(main->trackModel().rowCount(), 0);

    // Put back while a run holds the rows: the new list waits for the run's end.
    main->setConverting(true);
    DiscFixture::writeDisc(cue.toStdString(), DiscFixture::audioDisc({75, 75}));
    ASSERT_TRUE(changes.wait(5000));
    EXPECT_EQ(main->trackModel().rowCount(), 0);
    main->StopConversion();
    ASSERT_EQ(main->trackModel().rowCount(), 2);
    EXPECT_EQ(row(main->trackModel(), 0)[0], QStringLiteral("Track01"));
}

TEST_F(MainWindowTest, ClickWhileTheListFillsIsHonoured)
{
    auto main =
        window({makeDisc(QStringLiteral("disc"), DiscFixture::audioDisc({75, 75, 75, 75}))});
    TrackListModel& list = main->trackModel();
    QTableView* view = main->trackList();
    // The user clicks the second row as soon as it appears.
    bool clicked = false;
    QObject::connect(&list, &QAbstractItemModel::rowsInserted, view, [&] {
        if (!clicked && list.rowCount() == 2) {
            clicked = true;
            QTimer::singleShot(0, view, [&] { view->setCurrentIndex(list.index(1, 0)); });
        }
    });
    main->FormShow();
    ASSERT_TRUE(clicked);
    EXPECT_EQ(list.rowCount(), 4);
    EXPECT_EQ(main->currentTrack(), 1);
}

TEST_F(MainWindowTest, DispatchByExactNameUnderItsGuards)
{
    auto main = window({makeDisc(QStringLiteral("disc"), textDisc())});
    main->show();
    main->FormShow();
    TrackListModel& list = main->trackModel();

    main->Skin1Click(QStringLiteral("file"));
    EXPECT_TRUE(main->popupMenu(1)->isVisible());
    main->popupMenu(1)->hide();
    main->Skin1Click(QStringLiteral("help"));
    EXPECT_TRUE(main->popupMenu(3)->isVisible());
    main->popupMenu(3)->hide();
    main->Skin1Click(QStringLiteral("help1"));
    ASSERT_EQ(opened().size(), 1);
    EXPECT_TRUE(opened()[0].endsWith(QStringLiteral("/faq.htm")));

    // "refresh" re-reads (the checks come back); a name in another case does nothing.
    list.setChecked(0, false);
    main->Skin1Click(QStringLiteral("Refresh"));
    EXPECT_FALSE(list.isChecked(0));
    main->Skin1Click(QStringLiteral("refresh"));
    EXPECT_TRUE(list.isChecked(0));

    // While a run or playback has the grabber, refresh waits, from the skin and from the menu.
    for (const auto& busy : {std::pair{true, false}, std::pair{false, true}}) {
        main->setConverting(busy.first);
        main->setPlaying(busy.second);
        list.setChecked(0, false);
        main->Skin1Click(QStringLiteral("refresh"));
        main->popupMenu(1)->findChild<QAction*>(QStringLiteral("N1"))->trigger();
        EXPECT_FALSE(list.isChecked(0));
    }
    main->setPlaying(false);

    // "converter" and "To WMA" choose WMA, unless a run is active.
    main->setConverting(true);
    main->Skin1Click(QStringLiteral("converter"));
    EXPECT_EQ(main->outputFormat(), OutputFormatNumber::Mp3);
    main->setConverting(false);
    main->Skin1Click(QStringLiteral("converter"));
    EXPECT_EQ(main->outputFormat(), OutputFormatNumber::Wma);

    // Select All and Unselect All, but not during a run.
    main->popupMenu(2)->findChild<QAction*>(QStringLiteral("UnselectAll1"))->trigger();
    EXPECT_FALSE(list.isChecked(2));
    main->setConverting(true);
    main->popupMenu(2)->findChild<QAction*>(QStringLiteral("SelectAll1"))->trigger();
    EXPECT_FALSE(list.isChecked(2));
    main->setConverting(false);
    main->popupMenu(2)->findChild<QAction*>(QStringLiteral("SelectAll1"))->trigger();
    EXPECT_TRUE(list.isChecked(2));

    // A click on the list moves the current track, but not during playback.
    main->setPlaying(true);
    main->trackList()->setCurrentIndex(list.index(2, 0));
    main->SelectTrackRow();
    EXPECT_EQ(main->currentTrack(), 0);
    main->setPlaying(false);
    main->SelectTrackRow();
    EXPECT_EQ(main->currentTrack(), 2);

    // The menus' captions, in order.
    QStringList items;
    for (const QAction* action : main->popupMenu(1)->actions())
        items << (action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(items,
              (QStringList{
                  QStringLiteral("Refresh"), QStringLiteral("FreeDB"), QStringLiteral("-"),
                  QStringLiteral("To WMA"), QStringLiteral("To MP3"), QStringLiteral("To Ogg"),
                  QStringLiteral("To WAV"), QStringLiteral("To FLAC"), QStringLiteral("To Opus"),
                  QStringLiteral("To AAC"), QStringLiteral("Stop"), QStringLiteral("-"),
                  QStringLiteral("Open disc image\u2026"), QStringLiteral("Recent disc images"),
                  QStringLiteral("Check rip\u2026"), QStringLiteral("-"), QStringLiteral("Exit")}));
}

TEST_F(MainWindowTest, SkinButtonsTakeTheirClicks)
{
    auto main = window({makeDisc(QStringLiteral("disc"), textDisc())});
    main->show();
    main->FormShow();
    // Nothing of the window lies over a skin button: the pointer reaches each of them.
    for (const char* name : {"file", "settings", "help", "help1", "freedb", "refresh",
                             "stopconverter", "play", "playstop", "converter", "pause", "id3"}) {
        ISkinObject* object = main->skin()->GetObjectByName(main.get(), QLatin1StringView(name));
        ASSERT_NE(object, nullptr) << name;
        const QWidget* hit = main->childAt(object->GetRect().center());
        ASSERT_NE(hit, nullptr) << name;
        EXPECT_EQ(hit->objectName(), QLatin1StringView(name));
    }
    // A real click on "refresh" re-reads the disc.
    main->trackModel().setChecked(0, false);
    const QRect refresh =
        main->skin()->GetObjectByName(main.get(), QStringLiteral("refresh"))->GetRect();
    QTest::mouseClick(main->childAt(refresh.center()), Qt::LeftButton);
    EXPECT_TRUE(main->trackModel().isChecked(0));
}

TEST_F(MainWindowTest, ProgressBarWidths)
{
    auto main = window({makeDisc(QStringLiteral("disc"), textDisc())});
    main->FormShow();
    ISkinObject* bar = main->skin()->GetObjectByName(main.get(), QStringLiteral("pb"));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->GetRect().width(), 0);
    main->SetProgressBar(583);
    EXPECT_EQ(bar->GetRect().width(), 583);
    main->SetProgressBar(584); // full width means an empty bar
    EXPECT_EQ(bar->GetRect().width(), 0);
    main->SetProgressBar(292);
    EXPECT_EQ(bar->GetRect().width(), 292);
}

TEST_F(MainWindowTest, ExceptionHandlerBranches)
{
    const QString cue = makeDisc(QStringLiteral("disc"), textDisc());
    const QString systemError =
        QStringLiteral("A system error occurs,click Yes to execute again,click No to exit!");
    {
        // Before any WMA run: only the system-error question; No closes the window.
        auto main = window({cue});
        main->show();
        main->FormShow();
        main->ApplicationEvents1Exception(QStringLiteral("boom"));
        EXPECT_EQ(m_shown, QStringList{systemError});
        EXPECT_FALSE(main->isVisible());
    }
    {
        // After a WMA run was asked for: the encoder question first; Yes opens the page on WMA.
        m_shown.clear();
        m_answers = {true};
        auto main = window({cue});
        main->show();
        main->FormShow();
        main->popupMenu(2)->findChild<QAction*>(QStringLiteral("UnselectAll1"))->trigger();
        main->Skin1Click(QStringLiteral("converter")); // a WMA run of nothing
        main->ApplicationEvents1Exception(QStringLiteral("boom"));
        ASSERT_EQ(m_shown.size(), 1);
        EXPECT_TRUE(m_shown[0].startsWith(QStringLiteral("This file can not be supported")));
        EXPECT_TRUE(main->isVisible());
        ASSERT_EQ(opened(2).size(), 2);
        EXPECT_TRUE(opened(2)[1].endsWith(QStringLiteral("/wma.html")));
        // No there leads on to the system-error question.
        m_shown.clear();
        m_answers = {false, false};
        main->ApplicationEvents1Exception(QStringLiteral("boom"));
        EXPECT_EQ(m_shown.size(), 2);
        EXPECT_EQ(m_shown[1], systemError);
        EXPECT_FALSE(main->isVisible());
    }
}

TEST_F(MainWindowTest, CloseWritesTheSchemeAndAlwaysCloses)
{
    const QString cue = makeDisc(QStringLiteral("disc"), textDisc());
    auto main = window({cue});
    main->show();
    main->FormShow();
    main->setOutputScheme(2);
    main->close();
    EXPECT_FALSE(main->isVisible());
    SettingsFile settings(path(QStringLiteral("settings.ini")));
    EXPECT_EQ(settings.read(Keys::Main::Output), 2);

    // A settings file that cannot be written: said once, and the window closes all the same.
    ::chmod(QFile::encodeName(path(QStringLiteral("settings.ini"))).constData(), 0444);
    auto again = window({cue});
    again->show();
    again->FormShow();
    m_shown.clear();
    again->setOutputScheme(1);
    again->close();
    EXPECT_FALSE(again->isVisible());
    ASSERT_EQ(m_shown.size(), 1);
    EXPECT_TRUE(m_shown[0].startsWith(QStringLiteral("Unable to write to")))
        << m_shown[0].toStdString();
    EXPECT_EQ(settings.read(Keys::Main::Output), 2);
}

// An image opened from the File menu or dropped on the window becomes a drive, is selected and
// read as a new disc; the last five are remembered, most recent first, and are no drives at the
// next start, which selects the CD drive.
TEST_F(MainWindowTest, DiscImagesOpenAsDrivesAndAreRemembered)
{
    const QString drive = makeDisc(QStringLiteral("drive"), DiscFixture::audioDisc({75}));
    auto main = window({drive});
    main->FormShow();
    QStringList images;
    for (int i = 0; i < 6; ++i)
        images << makeDisc(QStringLiteral("image%1").arg(i),
                           DiscFixture::audioDisc(std::vector<int>(std::size_t(i) + 2, 75)));
    main->openDiscImage(images[0]);
    QMimeData dragged;
    dragged.setUrls({QUrl::fromLocalFile(images[1])});
    QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &dragged, Qt::LeftButton, {});
    QCoreApplication::sendEvent(main.get(), &enter);
    QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &dragged, Qt::LeftButton, {});
    QCoreApplication::sendEvent(main.get(), &drop);
    EXPECT_EQ(main->grabber().currentDevice(), 3);
    EXPECT_EQ(main->trackModel().rowCount(), 3);
    // Opened again, an image takes its drive again.
    for (int i : {2, 3, 4, 5, 0})
        main->openDiscImage(images[i]);
    EXPECT_EQ(main->grabber().DeviceCount(), 7);
    EXPECT_EQ(main->grabber().currentDevice(), 2);
    EXPECT_EQ(main->trackModel().rowCount(), 2);
    EXPECT_EQ(main->recentImages(),
              (QStringList{images[0], images[5], images[4], images[3], images[2]}));
    auto* recent = main->findChild<QMenu*>(QStringLiteral("RecentImages1"));
    ASSERT_EQ(recent->actions().size(), 5);
    recent->actions()[4]->trigger();
    EXPECT_EQ(main->trackModel().rowCount(), 4);

    // A sheet that is no disc, a file that is gone: said; the selected drive stays.
    writeAll(path(QStringLiteral("notes.cue")), "just some words\n");
    m_shown.clear();
    for (const QString& bad : {path(QStringLiteral("notes.cue")), path(QStringLiteral("gone.toc"))})
        main->openDiscImage(bad);
    ASSERT_EQ(m_shown.size(), 2) << m_shown.join(u'|').toStdString();
    EXPECT_TRUE(m_shown[0].contains(path(QStringLiteral("notes.cue")))) << m_shown[0].toStdString();
    EXPECT_EQ(
        m_shown[1],
        QStringLiteral("The disc image %1 does not exist.").arg(path(QStringLiteral("gone.toc"))));
    EXPECT_EQ(main->grabber().currentDevice(), 4);

    main.reset();
    auto again = window({drive});
    again->FormShow();
    EXPECT_EQ(again->grabber().DeviceCount(), 1);
    EXPECT_EQ(again->recentImages().size(), 5);
}

} // namespace
