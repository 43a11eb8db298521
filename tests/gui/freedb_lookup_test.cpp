#include "MainWindowTestSupport.h"
#include "components/lookup/CddbProtocol.h"
#include "gui/DirDialog.h"
#include "support/CddbServer.h"

#include <QAction>
#include <QMenu>

namespace {

// The window over a disc with CD-Text and the loopback server, which knows the disc.
class FreeDBLookupTest : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        const auto found = CddbServer::running();
        ASSERT_TRUE(found);
        server = *found;
        useProxy(server.proxy);
    }

    void useProxy(const QString& proxy)
    {
        writeAll(path(QStringLiteral("settings.ini")),
                 "[Main]\nPath=" + path(QStringLiteral("out")).toUtf8() + "\n" +
                     freedbSettings(proxy));
    }

    // The window over textDisc() with its last track lengthened by extraSeconds, so each test
    // looks up a disc of its own; the server's answers for it are cleared.
    std::unique_ptr<Tfm_main> started(int extraSeconds)
    {
        DiscFixture::DiscLayout layout = textDisc();
        layout.tracks.back().sectors += extraSeconds * SectorsPerSecond;
        auto main = window({makeDisc(QStringLiteral("disc"), layout)});
        main->FormShow();
        const FreeDBDisc disc = static_cast<TAudioCDGrabber2&>(main->grabber()).freeDBDisc();
        id = Cddb::discIdText(Cddb::discId(disc));
        server.forget(id);
        return main;
    }

    void answerWithEntry() const
    {
        server.answer(id, QStringLiteral("rock"),
                      "DTITLE=Nina Q / Night Songs\r\nDYEAR=1987\r\nTTITLE0=Open\r\n"
                      "TTITLE1=Middle\r\nTTITLE2=Close\r\n");
    }

    static QStringList log(Tfm_main& main)
    {
        return main.dirDialog()->logText().split(u'\n', Qt::SkipEmptyParts);
    }

    // Waits until the log holds count lines.
    static bool waitForLog(Tfm_main& main, qsizetype count)
    {
        return QTest::qWaitFor([&] { return log(main).size() >= count; }, 20000);
    }

    CddbServer server;
    QString id;
};

const QString Connecting = QStringLiteral("Connecting to  server...");
const QString Querying = QStringLiteral("Quering for album entry...");
const QString Loaded = QStringLiteral("FreeDB information loaded");
const QString Refresh = QStringLiteral("Refresh CD information...");
const QString NoEntry = QStringLiteral("No FreeDB information available for this CD!");
const QString Failed = QStringLiteral("Connection failed!");

TEST_F(FreeDBLookupTest, TheCommandShowsTheLogAndTheListIsRebuiltWithTheEntry)
{
    auto main = started(1);
    answerWithEntry();
    main->trackModel().setChecked(1, false);
    main->trackModel().setStatus(1, QStringLiteral("Finish"));
    const int generation = main->listGeneration();

    main->Skin1Click(QStringLiteral("freedb"));
    Tfm_dir* dir = main->dirDialog();
    EXPECT_TRUE(dir->isVisible());
    EXPECT_FALSE(dir->isModal());
    EXPECT_EQ(dir->windowTitle(), QStringLiteral("FreeDB info"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return main->listGeneration() != generation; }, 20000));
    EXPECT_EQ(log(*main), (QStringList{Connecting, Querying, Loaded, Refresh}));
    EXPECT_EQ(row(main->trackModel(), 1),
              (QStringList{QStringLiteral("Middle"), QStringLiteral("Nina Q"),
                           QStringLiteral("Night Songs"), QStringLiteral("00:02:0"),
                           QStringLiteral("Unconverter")}));
    EXPECT_TRUE(main->trackModel().isChecked(1));
    EXPECT_EQ(main->trackTable().at(2).Year, QStringLiteral("1987"));
    EXPECT_EQ(main->trackTable().at(2).Genre, QStringLiteral("Rock"));
}

TEST_F(FreeDBLookupTest, NoEntryRetryTwiceAndAFailedConnectionOnlyLog)
{
    auto main = started(2);
    const int generation = main->listGeneration();
    main->Skin1Click(QStringLiteral("freedb"));
    ASSERT_TRUE(waitForLog(*main, 3));
    EXPECT_EQ(log(*main), (QStringList{Connecting, Querying, NoEntry}));

    // Retry twice: both queries' lines, one after the other, below the first.
    emit main->dirDialog()->retryClicked();
    emit main->dirDialog()->retryClicked();
    ASSERT_TRUE(waitForLog(*main, 9));
    QTest::qWait(200);
    EXPECT_EQ(log(*main), (QStringList{Connecting, Querying, NoEntry, Connecting, Querying, NoEntry,
                                       Connecting, Querying, NoEntry}));

    useProxy(refusingProxy());
    emit main->dirDialog()->retryClicked();
    ASSERT_TRUE(QTest::qWaitFor([&] { return log(*main).endsWith(Failed); }, 20000));
    // The reason between the status lines.
    const QStringList failed = log(*main).mid(9);
    EXPECT_EQ(failed, (QStringList{Connecting, QStringLiteral("Connection refused"), Failed}))
        << failed.join(u'|').toStdString();
    // An unknown status writes nothing.
    emit main->grabber().OnFreeDBQueryStatus(7);
    EXPECT_EQ(log(*main).size(), 12);
    EXPECT_EQ(main->listGeneration(), generation);
    EXPECT_EQ(row(main->trackModel(), 0)[0], QStringLiteral("Intro"));
}

TEST_F(FreeDBLookupTest, SilentLookupsLogWithoutTheWindowWhichClearsItWhenOpened)
{
    auto main = started(3);
    // The menu item: no window, but the lines are logged.
    main->popupMenu(1)->findChild<QAction*>(QStringLiteral("Play1"))->trigger();
    ASSERT_TRUE(waitForLog(*main, 3));
    EXPECT_FALSE(main->dirDialog()->isVisible());

    // Refused while a track plays; the command opens the window with an empty log.
    main->setPlaying(true);
    main->Skin1Click(QStringLiteral("freedb"));
    EXPECT_FALSE(main->dirDialog()->isVisible());
    main->setPlaying(false);
    main->Skin1Click(QStringLiteral("freedb"));
    EXPECT_TRUE(main->dirDialog()->isVisible());
    EXPECT_TRUE(log(*main).isEmpty());
    ASSERT_TRUE(waitForLog(*main, 3));
    QTest::qWait(200);
    EXPECT_EQ(log(*main), (QStringList{Connecting, Querying, NoEntry}));
    EXPECT_TRUE(m_shown.isEmpty()) << m_shown.join(u'\n').toStdString();

    // A disc change looks the new disc up silently, after reading it.
    DiscFixture::writeDisc(path(QStringLiteral("disc.cue")).toStdString(),
                           DiscFixture::audioDisc({75, 75}));
    ASSERT_TRUE(waitForLog(*main, 6));
    EXPECT_EQ(log(*main).mid(3), (QStringList{Connecting, Querying, NoEntry}));
    EXPECT_EQ(row(main->trackModel(), 0)[0], QStringLiteral("Track01"));
}

TEST_F(FreeDBLookupTest, NoAudioCdMeansNoWindowAndNoQuery)
{
    DiscFixture::DiscLayout data;
    data.dataTrackSectors = 300;
    auto main = window({makeDisc(QStringLiteral("data"), data)});
    main->FormShow();
    m_shown.clear();
    main->Skin1Click(QStringLiteral("freedb"));
    EXPECT_FALSE(main->dirDialog()->isVisible());
    EXPECT_EQ(m_shown.size(), 1);
    EXPECT_TRUE(m_shown.join(u' ').contains(QStringLiteral("The disc is not Audio CD!")));
    QTest::qWait(200);
    EXPECT_TRUE(log(*main).isEmpty());
}

TEST_F(FreeDBLookupTest, TheEntryArrivingDuringARunIsListedWhenTheRunEnds)
{
    auto main = started(4);
    answerWithEntry();
    const int generation = main->listGeneration();
    main->Skin1Click(QStringLiteral("freedb"));
    main->setConverting(true);
    ASSERT_TRUE(waitForLog(*main, 4));
    QTest::qWait(100);
    EXPECT_EQ(main->listGeneration(), generation);
    EXPECT_EQ(row(main->trackModel(), 0)[0], QStringLiteral("Intro"));
    main->StopConversion();
    EXPECT_NE(main->listGeneration(), generation);
    EXPECT_EQ(row(main->trackModel(), 0)[0], QStringLiteral("Open"));

    // Likewise while the tag editor is open.
    main->setTagEditorOpen(true);
    const int editing = main->listGeneration();
    emit main->dirDialog()->retryClicked();
    ASSERT_TRUE(waitForLog(*main, 8));
    QTest::qWait(100);
    EXPECT_EQ(main->listGeneration(), editing);
    main->setTagEditorOpen(false);
    EXPECT_NE(main->listGeneration(), editing);
}

} // namespace
