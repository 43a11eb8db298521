#include "GrabberTestSupport.h"
#include "components/lookup/CddbProtocol.h"
#include "components/lookup/LocalFreeDB.h"
#include "components/lookup/TFreeDBInformation2.h"
#include "support/CddbServer.h"

#include <QElapsedTimer>

namespace {

struct LookupRecord
{
    QList<int> statuses;
    QStringList log;
};

bool isLast(int status)
{
    return status == FreeDBStatus::Loaded || status == FreeDBStatus::NoEntry ||
           status == FreeDBStatus::ConnectionFailed;
}

// The grabber over an image of the disc and the lookup over the test's settings file.
class CddbLookupTest : public GrabberTest
{
protected:
    void SetUp() override
    {
        const auto found = CddbServer::running();
        ASSERT_TRUE(found);
        server = *found;
    }

    QString settingsPath() const { return path(QStringLiteral("LumRipwellconverter.ini")); }
    QString localPath() const { return path(QStringLiteral("CDFreeDB.ini")); }

    // Each test uses discs of its own lengths, so their ids and answers never meet.
    std::unique_ptr<TAudioCDGrabber2> discOf(const std::vector<int>& seconds, int dataSeconds = 0)
    {
        std::vector<int> sectors;
        for (int s : seconds)
            sectors.push_back(s * DiscFixture::SectorsPerSecond);
        DiscFixture::DiscLayout layout = DiscFixture::audioDisc(sectors);
        layout.dataTrackSectors = dataSeconds * DiscFixture::SectorsPerSecond;
        auto grabber = grabberFor({makeDisc(QStringLiteral("disc"), layout)});
        grabber->ReadDisc();
        id = Cddb::discIdText(Cddb::discId(grabber->freeDBDisc()));
        server.forget(id);
        return grabber;
    }

    void settings(int source = 1, int timeout = 10000, const QString& email = {})
    {
        writeAll(settingsPath(), freedbSettings(server.proxy, source, timeout, email));
    }

    // Starts count lookups and waits for the last status of each.
    LookupRecord lookUp(TAudioCDGrabber2& grabber, int count = 1)
    {
        LookupRecord record;
        TFreeDBInformation2 info(settingsPath());
        QEventLoop loop;
        int ended = 0;
        QObject::connect(&grabber, &IAudioCDGrabber2::OnFreeDBQueryStatus, &loop, [&](int s) {
            record.statuses.append(s);
            if (isLast(s) && ++ended == count)
                loop.quit();
        });
        QObject::connect(&info, &IFreeDBInformation2::logLine, &loop,
                         [&](const QString& line) { record.log.append(line); });
        for (int i = 0; i < count; ++i)
            grabber.QueryFreeDB(info, 1);
        QTimer::singleShot(60000, &loop, [&] { loop.exit(1); });
        EXPECT_EQ(loop.exec(), 0) << "the lookup never ended";
        return record;
    }

    static QStringList texts(TAudioCDGrabber2& grabber, int index)
    {
        grabber.CurrentTrack(index);
        return {grabber.TrackTitle(), grabber.TrackArtist(), grabber.TrackAlbum(),
                grabber.TrackGenre(), grabber.TrackYear()};
    }

    CddbServer server;
    QString id;
};

const QList<int> Loaded{1, 2, 3};
const QList<int> NoEntry{1, 2, -2};
const QList<int> Failed{1, -1};

TEST_F(CddbLookupTest, StatusesInOrderThenTheEntryIsTheDiscsTextsAndIsKeptLocally)
{
    auto grabber = discOf({3, 4, 5});
    settings();
    server.answer(id, QStringLiteral("folk"),
                  "DISCID=" + id.toUtf8() +
                      "\r\nDTITLE=Art Pop / Live: Bootleg\r\nDYEAR=2001\r\n"
                      "DGENRE=Folk Rock\r\nTTITLE0=Intro\r\nTTITLE1=Caf\xc3\xa9 M\xc3\xbcller\r\n"
                      "TTITLE2=Co\r\nTTITLE2=da\r\nEXTD=\r\n");
    EXPECT_EQ(lookUp(*grabber).statuses, Loaded);
    const QStringList disc{QStringLiteral("Art Pop"), QStringLiteral("Live: Bootleg"),
                           QStringLiteral("Folk Rock"), QStringLiteral("2001")};
    EXPECT_EQ(texts(*grabber, 0), QStringList{QStringLiteral("Intro")} + disc);
    EXPECT_EQ(texts(*grabber, 1), QStringList{QStringLiteral("Café Müller")} + disc);
    EXPECT_EQ(texts(*grabber, 2), QStringList{QStringLiteral("Coda")} + disc);
    // A re-read keeps them; a drive change drops them.
    grabber->ReadDisc();
    EXPECT_EQ(texts(*grabber, 2)[0], QStringLiteral("Coda"));

    // The hello: user, host, program, version.
    const QStringList hello = server.hello(id).split(u' ');
    ASSERT_EQ(hello.size(), 4) << server.hello(id).toStdString();
    EXPECT_EQ(hello[2], QStringLiteral("TunecrestRipper"));

    const Cddb::EntryKeys kept = LocalFreeDB(localPath()).find(id);
    EXPECT_TRUE(kept.contains(qMakePair(QStringLiteral("TTITLE2"), QStringLiteral("Coda"))));
    EXPECT_FALSE(kept.contains(qMakePair(QStringLiteral("DISCID"), id)));

    grabber->CurrentDevice(1);
    grabber->ReadDisc();
    EXPECT_EQ(texts(*grabber, 0)[0], QStringLiteral("Session1 Track1"));
}

TEST_F(CddbLookupTest, NoEntryAndUnusableAnswersAreNoEntry)
{
    auto grabber = discOf({3, 4, 6});
    settings();
    const QString category = QStringLiteral("misc");
    // No match; a match whose entry is gone.
    EXPECT_EQ(lookUp(*grabber).statuses, NoEntry);
    server.put(id + QStringLiteral(".query"), "200 misc " + id.toUtf8() + " A / B\r\n");
    EXPECT_EQ(lookUp(*grabber).statuses, NoEntry);

    const QString read = category + u'.' + id + QStringLiteral(".read");
    // Cut off before its end, not an answer at all, nothing usable in it, larger than any entry.
    server.put(read, "210 misc " + id.toUtf8() + " follows\r\nDTITLE=A / B\r\nTTITLE0=x\r\n");
    EXPECT_EQ(lookUp(*grabber).statuses, NoEntry);
    server.put(read, "<html><body>Welcome!</body></html>\n");
    EXPECT_EQ(lookUp(*grabber).statuses, NoEntry);
    server.put(read, CddbServer::readAnswer(category, id, "# nothing\r\nDISCID=x\r\n"));
    EXPECT_EQ(lookUp(*grabber).statuses, NoEntry);
    server.put(read, CddbServer::readAnswer(category, id,
                                            "TTITLE0=" + QByteArray(400 * 1024, 'x') + "\r\n"));
    const LookupRecord huge = lookUp(*grabber);
    EXPECT_EQ(huge.statuses, NoEntry);
    EXPECT_TRUE(huge.log.join(u'\n').contains(QStringLiteral("larger than")))
        << huge.log.join(u'\n').toStdString();
    EXPECT_EQ(texts(*grabber, 0)[0], QStringLiteral("Session1 Track1"));
    EXPECT_FALSE(QFileInfo::exists(localPath()));

    // Latin-1, control characters, more titles than tracks, a huge line: used, but cleaned.
    server.put(read, CddbServer::readAnswer(
                         category, id,
                         "DTITLE=Caf\xe9 \x1b[2J/ B\r\nTTITLE0=" + QByteArray(5000, 'y') +
                             "\r\nTTITLE1=Tab\there\r\nTTITLE3=Beyond\r\nTTITLE7=Beyond\r\n"));
    EXPECT_EQ(lookUp(*grabber).statuses, Loaded);
    EXPECT_EQ(texts(*grabber, 0)[0].size(), Cddb::MaxFieldLength);
    EXPECT_EQ(texts(*grabber, 0)[1], QStringLiteral("Café [2J/ B"));
    EXPECT_EQ(texts(*grabber, 1)[0], QStringLiteral("Tab here"));
    EXPECT_EQ(texts(*grabber, 2)[0], QStringLiteral("Session1 Track3"));
}

TEST_F(CddbLookupTest, RefusedTimedOutAndServerErrorsAreConnectionFailed)
{
    auto grabber = discOf({3, 4, 7});
    writeAll(settingsPath(), freedbSettings(refusingProxy()));
    EXPECT_EQ(lookUp(*grabber).statuses, Failed);

    settings(1, 700);
    server.put(id + QStringLiteral(".hang"), "1");
    QElapsedTimer clock;
    clock.start();
    const LookupRecord hung = lookUp(*grabber);
    EXPECT_EQ(hung.statuses, Failed);
    EXPECT_LT(clock.elapsed(), 20000);
    EXPECT_TRUE(hung.log.contains(QStringLiteral("The server did not answer within 700 ms.")))
        << hung.log.join(u'\n').toStdString();

    server.put(id + QStringLiteral(".hang"), {});
    server.put(id + QStringLiteral(".http"), "500");
    EXPECT_EQ(lookUp(*grabber).statuses, Failed);
    server.put(id + QStringLiteral(".http"), {});
    server.put(id + QStringLiteral(".query"), "530 Server busy\r\n");
    EXPECT_EQ(lookUp(*grabber).statuses, Failed);
}

TEST_F(CddbLookupTest, VariousArtistsAndSeveralMatches)
{
    auto grabber = discOf({3, 4, 8});
    settings();
    // Three matches: the first is read, the log names the others.
    server.put(id + QStringLiteral(".query"),
               "211 Found inexact matches, list follows\r\nsoundtrack " + id.toUtf8() +
                   " Various / Hits\r\nrock 0badc0de Other / One\r\njazz 0badc0df Third / "
                   "One\r\n.\r\n");
    server.put(QStringLiteral("soundtrack.") + id + QStringLiteral(".read"),
               CddbServer::readAnswer(QStringLiteral("soundtrack"), id,
                                      "DTITLE=Various Artists / Hits\r\nTTITLE0=Ann / First\r\n"
                                      "TTITLE1=Second\r\nTTITLE2=Cy / Third\r\n"));
    const LookupRecord record = lookUp(*grabber);
    EXPECT_EQ(record.statuses, Loaded);
    EXPECT_EQ(record.log,
              (QStringList{QStringLiteral("Other match: Other / One (rock, 0badc0de)"),
                           QStringLiteral("Other match: Third / One (jazz, 0badc0df)")}));
    EXPECT_EQ(texts(*grabber, 0),
              (QStringList{QStringLiteral("First"), QStringLiteral("Ann"), QStringLiteral("Hits"),
                           QStringLiteral("Soundtrack"), QString()}));
    EXPECT_EQ(texts(*grabber, 1)[1], QStringLiteral("Various Artists"));
    EXPECT_EQ(texts(*grabber, 2)[1], QStringLiteral("Cy"));
}

TEST_F(CddbLookupTest, LocalFileSourcesNeedNoServer)
{
    auto grabber = discOf({3, 4, 9});
    const QString nobody = refusingProxy();
    writeAll(settingsPath(), freedbSettings(nobody, 2));
    EXPECT_EQ(lookUp(*grabber).statuses, (QList<int>{2, -2}));
    writeAll(localPath(), "[" + id.toUpper().toUtf8() + "]\ndtitle=Hand / Made\nTTITLE1=Two\n");
    EXPECT_EQ(lookUp(*grabber).statuses, (QList<int>{2, 3}));
    EXPECT_EQ(texts(*grabber, 1).mid(0, 3),
              (QStringList{QStringLiteral("Two"), QStringLiteral("Hand"), QStringLiteral("Made")}));

    // Any source: the file first; without the disc in it, the server.
    writeAll(settingsPath(), freedbSettings(nobody, 0));
    EXPECT_EQ(lookUp(*grabber).statuses, (QList<int>{2, 3}));
    writeAll(localPath(), "[00000000]\nDTITLE=Other\n");
    EXPECT_EQ(lookUp(*grabber).statuses, Failed);
}

TEST_F(CddbLookupTest, TheEmailAddressGoesInTheHello)
{
    auto grabber = discOf({3, 4, 10});
    server.answer(id, QStringLiteral("rock"), "DTITLE=A / B\r\n");
    server.put(id + QStringLiteral(".email"), "ripper example.org");
    settings();
    const LookupRecord refused = lookUp(*grabber);
    EXPECT_EQ(refused.statuses, Failed);
    EXPECT_TRUE(refused.log.contains(QStringLiteral(
        "An e-mail address must be set in the settings (FreeDB) before the server answers.")))
        << refused.log.join(u'\n').toStdString();

    settings(1, 10000, QStringLiteral("ripper@example.org"));
    EXPECT_EQ(lookUp(*grabber).statuses, Loaded);
    EXPECT_TRUE(server.hello(id).startsWith(u"ripper example.org TunecrestRipper "));
}

TEST_F(CddbLookupTest, QueriesInARowReportOneAfterTheOther)
{
    auto grabber = discOf({3, 4, 11});
    settings();
    server.answer(id, QStringLiteral("rock"), "DTITLE=A / B\r\n");
    EXPECT_EQ(lookUp(*grabber, 2).statuses, Loaded + Loaded);
}

TEST_F(CddbLookupTest, AnEnhancedCdsDataTrackCountsWhereADriveReportsIt)
{
    auto grabber = discOf({3, 4, 12}, 20);
    const FreeDBDisc disc = grabber->freeDBDisc();
    const int audioEnd = 150 + (3 + 4 + 12) * 75;
    EXPECT_EQ(disc.trackOffsets, (QList<int>{150, 150 + 3 * 75, 150 + 7 * 75, audioEnd + 11400}));
    EXPECT_EQ(disc.leadOut, audioEnd + 11400 + 20 * 75);
    settings();
    server.answer(
        id, QStringLiteral("rock"),
        "DTITLE=A / B\r\nTTITLE0=One\r\nTTITLE1=Two\r\nTTITLE2=Three\r\nTTITLE3=Data\r\n");
    EXPECT_EQ(lookUp(*grabber).statuses, Loaded);
    EXPECT_EQ(grabber->TrackCount(), 3);
    EXPECT_EQ(texts(*grabber, 2)[0], QStringLiteral("Three"));
}

} // namespace
