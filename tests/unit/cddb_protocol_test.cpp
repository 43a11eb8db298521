#include "components/lookup/CddbProtocol.h"
#include "components/lookup/LocalFreeDB.h"
#include "settings/SettingsFile.h"
#include "support/TempDir.h"

#include <QFileInfo>

#include <sys/stat.h>

namespace {

using namespace Cddb;

// Three tracks at 2 s, 200 s and 400 s; the disc ends at 600 s.
const FreeDBDisc ThreeTracks{{150, 15000, 30000}, 45000};

QList<QString> lines(const char* text)
{
    return QString::fromUtf8(text).split(u'\n');
}

FreeDBEntry entryOf(const char* text, const FreeDBDisc& disc = ThreeTracks,
                    const QString& category = QStringLiteral("rock"))
{
    FreeDBEntry entry;
    EXPECT_TRUE(entryFromKeys(parseEntryKeys(lines(text)), disc, category, entry)) << text;
    return entry;
}

TEST(CddbDiscIdTest, IdAndCommandsFromTheOffsets)
{
    // Digit sums 2 + 2 + 4 = 8; 598 s between the first track and the end; three tracks.
    EXPECT_EQ(discId(ThreeTracks), 0x08025603u);
    EXPECT_EQ(discIdText(discId(ThreeTracks)), QStringLiteral("08025603"));
    EXPECT_EQ(discIdText(0xab), QStringLiteral("000000ab"));
    EXPECT_EQ(queryCommand(ThreeTracks),
              QStringLiteral("cddb query 08025603 3 150 15000 30000 600"));
    EXPECT_EQ(readCommand(QStringLiteral("rock"), QStringLiteral("08025603")),
              QStringLiteral("cddb read rock 08025603"));
    // The digit sums wrap at 255.
    QList<int> many;
    for (int i = 0; i < 99; ++i)
        many.append(150 + i * 99 * 75); // 2, 101, 200 … seconds
    const quint32 id = discId({many, 150 + 99 * 99 * 75});
    EXPECT_LT(id >> 24, 255u);
    EXPECT_EQ(id & 0xff, 99u);
}

TEST(CddbAnswerTest, CodesMatchesAndTruncatedLists)
{
    const Answer exact = parseAnswer(QStringLiteral("200 rock 08025603 Art / Album\r\n"));
    EXPECT_EQ(exact.code, 200);
    ASSERT_EQ(parseMatches(exact).size(), 1);
    EXPECT_EQ(parseMatches(exact).front().category, QStringLiteral("rock"));
    EXPECT_EQ(parseMatches(exact).front().title, QStringLiteral("Art / Album"));

    const Answer several = parseAnswer(
        QStringLiteral("211 Found inexact matches\r\nrock 08025603 A / B\r\njazz 08025604 C / "
                       "D\r\nbogus line\r\n.\r\n"));
    const QList<Match> matches = parseMatches(several);
    ASSERT_EQ(matches.size(), 2);
    EXPECT_EQ(matches[1].category, QStringLiteral("jazz"));
    EXPECT_EQ(matches[1].discId, QStringLiteral("08025604"));

    // A list cut off before its "." is no list.
    EXPECT_TRUE(
        parseMatches(parseAnswer(QStringLiteral("210 exact\nrock 08025603 A / B\n"))).isEmpty());
    EXPECT_EQ(parseAnswer(QStringLiteral("202 No match")).code, 202);
    EXPECT_EQ(parseAnswer(QStringLiteral("<html>")).code, 0);
    EXPECT_EQ(parseAnswer(QString()).code, 0);
    EXPECT_EQ(parseAnswer(QStringLiteral("2000 rock")).code, 0);
}

TEST(CddbEntryTest, DiscTextsTitlesAndContinuedKeys)
{
    const FreeDBEntry entry = entryOf("# xmcd\n"
                                      "DISCID=08025603\n"
                                      "DTITLE=Art Pop / Live: \n"
                                      "DTITLE=Bootleg\n"
                                      "DYEAR=1999\n"
                                      "TTITLE0=Intro\n"
                                      "TTITLE1=Line1\\nLine2\\\\\n"
                                      "TTITLE2=Coda\n"
                                      "EXTD=\n");
    EXPECT_EQ(entry.artist, QStringLiteral("Art Pop"));
    EXPECT_EQ(entry.album, QStringLiteral("Live: Bootleg"));
    EXPECT_EQ(entry.year, QStringLiteral("1999"));
    EXPECT_EQ(entry.genre, QStringLiteral("Rock")); // the category when DGENRE is missing
    EXPECT_EQ(entry.discId, QStringLiteral("08025603"));
    ASSERT_EQ(entry.tracks.size(), 3);
    EXPECT_EQ(entry.tracks[0].title, QStringLiteral("Intro"));
    // Escaped line breaks become blanks.
    EXPECT_EQ(entry.tracks[1].title, QStringLiteral("Line1 Line2\\"));
    EXPECT_TRUE(entry.tracks[2].artist.isEmpty());

    const FreeDBEntry plain = entryOf("DTITLE=Just One Name\nDGENRE=Ambient\nDYEAR=nineties\n");
    EXPECT_EQ(plain.artist, QStringLiteral("Just One Name"));
    EXPECT_EQ(plain.album, QStringLiteral("Just One Name"));
    EXPECT_EQ(plain.genre, QStringLiteral("Ambient"));
    EXPECT_TRUE(plain.year.isEmpty());
    EXPECT_TRUE(plain.tracks[0].title.isEmpty());
}

TEST(CddbEntryTest, VariousArtistsGiveEachTrackItsArtist)
{
    const FreeDBEntry entry = entryOf("DTITLE=Various / Summer Hits\n"
                                      "TTITLE0=Ann Arbor / First\n"
                                      "TTITLE1=Second Without Artist\n"
                                      "TTITLE2=Bo / Third / Part 2\n");
    EXPECT_EQ(entry.tracks[0].artist, QStringLiteral("Ann Arbor"));
    EXPECT_EQ(entry.tracks[0].title, QStringLiteral("First"));
    EXPECT_TRUE(entry.tracks[1].artist.isEmpty());
    EXPECT_EQ(entry.tracks[2].artist, QStringLiteral("Bo"));
    EXPECT_EQ(entry.tracks[2].title, QStringLiteral("Third / Part 2"));

    // On a one-artist entry a " / " in a title is part of it.
    const FreeDBEntry single = entryOf("DTITLE=Band / Album\nTTITLE0=Either / Or\n");
    EXPECT_EQ(single.tracks[0].title, QStringLiteral("Either / Or"));
    EXPECT_TRUE(single.tracks[0].artist.isEmpty());
}

TEST(CddbEntryTest, HostileEntriesAreCleanedOrRefused)
{
    // More titles than tracks, and numbers that are no track.
    const FreeDBEntry extra = entryOf("DTITLE=A / B\nTTITLE3=Beyond\nTTITLE-1=Minus\n"
                                      "TTITLE99999999999=Huge\nTTITLE1=Kept\n");
    ASSERT_EQ(extra.tracks.size(), 3);
    EXPECT_EQ(extra.tracks[1].title, QStringLiteral("Kept"));

    // Control characters, path characters stay for the naming to clean, length is capped.
    const QString huge(100000, u'x');
    FreeDBEntry cleaned;
    ASSERT_TRUE(entryFromKeys({{QStringLiteral("DTITLE"), QStringLiteral("A\x01\x1b[31m / B\t")},
                               {QStringLiteral("TTITLE0"), huge},
                               {QStringLiteral("TTITLE1"), QStringLiteral("../../etc/passwd")}},
                              ThreeTracks, QString(), cleaned));
    EXPECT_EQ(cleaned.artist, QStringLiteral("A [31m"));
    EXPECT_EQ(cleaned.album, QStringLiteral("B"));
    EXPECT_EQ(cleaned.tracks[0].title.size(), MaxFieldLength);
    EXPECT_EQ(cleaned.tracks[1].title, QStringLiteral("../../etc/passwd"));
    EXPECT_TRUE(cleaned.genre.isEmpty());

    // A key continued without end keeps only what a field can hold.
    QList<QString> endless;
    for (int i = 0; i < 100000; ++i)
        endless.append(QStringLiteral("TTITLE0=0123456789"));
    const EntryKeys keys = parseEntryKeys(endless);
    ASSERT_EQ(keys.size(), 1);
    EXPECT_LE(keys[0].second.size(), MaxFieldLength * 4 + 10);

    // Nothing that names the disc or a track is no entry.
    FreeDBEntry none;
    EXPECT_FALSE(entryFromKeys(parseEntryKeys(lines("# only a comment\nDISCID=1\nnonsense")),
                               ThreeTracks, QString(), none));
    EXPECT_FALSE(entryFromKeys({}, ThreeTracks, QString(), none));
}

TEST(CddbEntryTest, Utf8AnswersAsUtf8OthersAsLatin1)
{
    EXPECT_EQ(decodeAnswer(QByteArray("Caf\xc3\xa9 M\xc3\xbcller")), QStringLiteral("Café Müller"));
    EXPECT_EQ(decodeAnswer(QByteArray("Caf\xe9 M\xfcller")), QStringLiteral("Café Müller"));
    // Invalid UTF-8 in an otherwise UTF-8 answer: read as Latin-1, nothing lost.
    EXPECT_EQ(decodeAnswer(QByteArray("\xc3\xa9\xff")).size(), 3);
}

class LocalFreeDBTest : public TempDirTest
{
protected:
    QString file() const { return path(QStringLiteral("CDFreeDB.ini")); }
};

TEST_F(LocalFreeDBTest, StoresReplacesAndReadsHandWrittenSections)
{
    writeAll(file(), "; mine\n[0a0b0c0d]\nDTITLE=Hand / Written\nttitle0=One\nTTITLE0=Dup\n\n"
                     "[08025603]\nDTITLE=Old\n\n[other]\nkey=value\n");
    const LocalFreeDB local(file());
    const EntryKeys hand = local.find(QStringLiteral("0A0B0C0D"));
    ASSERT_EQ(hand.size(), 2);
    EXPECT_EQ(hand[1], qMakePair(QStringLiteral("TTITLE0"), QStringLiteral("One")));
    FreeDBEntry entry;
    ASSERT_TRUE(entryFromKeys(hand, ThreeTracks, QString(), entry));
    EXPECT_EQ(entry.album, QStringLiteral("Written"));

    local.store(QStringLiteral("08025603"),
                {{QStringLiteral("DTITLE"), QStringLiteral("New / Album")},
                 {QStringLiteral("TTITLE0"), QStringLiteral("\"Quoted\"")},
                 {QStringLiteral("TTITLE1"), QStringLiteral("Two\nLines")}});
    local.store(QStringLiteral("11111111"), {{QStringLiteral("DTITLE"), QStringLiteral("X")}});
    const EntryKeys stored = local.find(QStringLiteral("08025603"));
    ASSERT_EQ(stored.size(), 3);
    EXPECT_EQ(stored[0].second, QStringLiteral("New / Album"));
    EXPECT_EQ(stored[1].second, QStringLiteral("\"Quoted\""));
    EXPECT_EQ(stored[2].second, QStringLiteral("Two\\nLines"));
    // Every other line is kept.
    const QString text = QString::fromUtf8(readAll(file()));
    EXPECT_TRUE(text.startsWith(u"; mine\n[0a0b0c0d]\nDTITLE=Hand / Written\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains(u"\n\n[other]\nkey=value\n[11111111]\nDTITLE=X\n"))
        << text.toStdString();
    EXPECT_EQ(text.count(u"[08025603]"), 1);
    EXPECT_TRUE(local.find(QStringLiteral("22222222")).isEmpty());
}

TEST_F(LocalFreeDBTest, AFileThatCannotBeWrittenStaysAsItWas)
{
    writeAll(file(), "[08025603]\nDTITLE=Mine\n");
    ::chmod(QFile::encodeName(file()).constData(), 0444);
    EXPECT_THROW(LocalFreeDB(file()).store(QStringLiteral("08025603"),
                                           {{QStringLiteral("DTITLE"), QStringLiteral("X")}}),
                 SettingsWriteError);
    EXPECT_EQ(readAll(file()), QByteArray("[08025603]\nDTITLE=Mine\n"));
    EXPECT_TRUE(
        LocalFreeDB(path(QStringLiteral("missing.ini"))).find(QStringLiteral("1")).isEmpty());
}

} // namespace
