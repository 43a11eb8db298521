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

TEST(CddbEntryTest, TitlesOfNoTrackAndEndlessKeysAreLeftOut)
{
    // More titles than tracks, and numbers that are no track.
    const FreeDBEntry extra = entryOf("DTITLE=A / B\nTTITLE3=Beyond\nTTITLE-1=Minus\n"
                                      "TTITLE99999999999=Huge\nTTITLE1=Kept\n");
    ASSERT_EQ(extra.tracks.size(), 3);
    EXPECT_EQ(extra.tracks[1].title, QStringLiteral("Kept"));

    // A key continued without end keeps only what a field can hold.
    QList<QString> endless;
    for (int i = 0; i < 100000; ++i)
        endless.append(QStringLiteral("TTITLE0=0123456789"));
    const EntryKeys keys = parseEntryKeys(endless);
    ASSERT_EQ(keys.size(), 1);
    EXPECT_LE(keys[0].second.size(), MaxFieldLength * 4 + 10);
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
