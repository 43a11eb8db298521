#include "MainWindowTestSupport.h"
#include "components/lookup/MusicBrainzDisc.h"
#include "gui/DirDialog.h"
#include "support/MusicBrainzServer.h"

#include <QApplication>
#include <QTimer>

namespace {

using namespace MusicBrainzJson;

// The window over a disc with CD-Text, which CDDB does not know (the local file only) and the
// loopback MusicBrainz stand-in knows in two releases.
class MusicBrainzWindowTest : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        const auto found = MusicBrainzServer::running();
        ASSERT_TRUE(found);
        server = *found;
        writeAll(path(QStringLiteral("settings.ini")),
                 "[Main]\nPath=" + path(QStringLiteral("out")).toUtf8() +
                     "\n[Freedb]\ntoserver=2\n[MusicBrainz]\nserver=" + server.url.toUtf8() +
                     "\ncoverart=0\nspacing=" + QByteArray::number(MusicBrainzSpacing) + "\n");
    }

    std::unique_ptr<Tfm_main> started(int extraSeconds)
    {
        DiscFixture::DiscLayout layout = textDisc();
        layout.tracks.back().sectors += extraSeconds * SectorsPerSecond;
        auto main = window({makeDisc(QStringLiteral("disc"), layout)});
        main->FormShow();
        id = musicBrainzDisc(static_cast<TAudioCDGrabber2&>(main->grabber()).freeDBDisc()).id;
        server.forget(id);
        Release first;
        first.id = mbid(1);
        first.title = QStringLiteral("First Press");
        first.credits = {{QStringLiteral("Nina Q"), {}, mbid(10)}};
        first.date = QStringLiteral("1987");
        first.media = {{1,
                        {id},
                        {{QStringLiteral("Open"), mbid(21), {}},
                         {QStringLiteral("Middle"), mbid(22), {}},
                         {QStringLiteral("Close"), mbid(23), {}}}}};
        Release second = first;
        second.id = mbid(2);
        second.title = QStringLiteral("Reissue");
        second.country = QStringLiteral("JP");
        server.put(id, ".json", discAnswer(id, {first, second}));
        return main;
    }

    // Answers the release chooser once it shows: picks row, or cancels with -1.
    void answerChooser(int row)
    {
        QTimer* timer = &chooserTimer;
        QObject::connect(timer, &QTimer::timeout, timer, [this, timer, row] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog || dialog->objectName() != u"fm_release")
                return;
            timer->stop();
            timer->disconnect();
            auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("lv_releases"));
            chooserRows.clear();
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                chooserRows << list->topLevelItem(i)->text(0) + u'|' +
                                   list->topLevelItem(i)->text(3);
            if (row < 0) {
                dialog->reject();
                return;
            }
            list->setCurrentItem(list->topLevelItem(row));
            QTest::keyClick(list, Qt::Key_Return);
        });
        timer->start(50);
    }

    static QStringList log(Tfm_main& main)
    {
        return main.dirDialog()->logText().split(u'\n', Qt::SkipEmptyParts);
    }

    MusicBrainzServer server;
    QString id;
    QStringList chooserRows;
    QTimer chooserTimer;
};

TEST_F(MusicBrainzWindowTest, AfterCddbTheChosenReleaseRebuildsTheList)
{
    auto main = started(1);
    const int generation = main->listGeneration();
    answerChooser(1);
    main->Skin1Click(QStringLiteral("freedb"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return main->listGeneration() != generation; }, 20000))
        << log(*main).join(u'|').toStdString();
    EXPECT_EQ(chooserRows,
              (QStringList{QStringLiteral("First Press|XE"), QStringLiteral("Reissue|JP")}));
    const QStringList lines = log(*main);
    EXPECT_EQ(lines.first(), QStringLiteral("Quering for album entry..."));
    EXPECT_TRUE(lines.contains(QStringLiteral("No FreeDB information available for this CD!")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Looking up the disc in MusicBrainz...")));
    EXPECT_EQ(lines.mid(lines.size() - 2),
              (QStringList{QStringLiteral("MusicBrainz information loaded"),
                           QStringLiteral("Refresh CD information...")}))
        << lines.join(u'|').toStdString();
    EXPECT_EQ(row(main->trackModel(), 1).mid(0, 3),
              (QStringList{QStringLiteral("Middle"), QStringLiteral("Nina Q"),
                           QStringLiteral("Reissue")}));
    EXPECT_EQ(server.violations(id), QString());
}

TEST_F(MusicBrainzWindowTest, CancelKeepsTheTextsTheListHad)
{
    auto main = started(2);
    const QStringList before = row(main->trackModel(), 1);
    answerChooser(-1);
    main->Skin1Click(QStringLiteral("freedb"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return log(*main).contains(QStringLiteral("No MusicBrainz release for this CD.")); },
        20000));
    EXPECT_TRUE(log(*main).contains(QStringLiteral("No release was chosen.")));
    EXPECT_EQ(row(main->trackModel(), 1), before);
    EXPECT_EQ(before.at(0), QStringLiteral("Café Müller"));
}

} // namespace
