#include "rip/OutputNaming.h"
#include "rip/TwoDigits.h"
#include "settings/SettingsFile.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFileInfo>

namespace {

class OutputNamingTest : public TempDirTest
{
protected:
    void touch(const QString& file) { writeAll(file, "x"); }
    QString music() const { return path(QStringLiteral("My Music")); }
};

TEST(TwoDigitsTest, PadsBelowTen)
{
    EXPECT_EQ(TwoDigits(7), QStringLiteral("07"));
    EXPECT_EQ(TwoDigits(0), QStringLiteral("00"));
    EXPECT_EQ(TwoDigits(12), QStringLiteral("12"));
    EXPECT_EQ(TwoDigits(100), QStringLiteral("100"));
}

TEST(CleanFileNameTest, RemovesOnlyForbiddenCharacters)
{
    EXPECT_EQ(CleanFileName(QStringLiteral("Art/Pop")), QStringLiteral("ArtPop"));
    EXPECT_EQ(CleanFileName(QStringLiteral("a*b?c|d:e\"f/g\\h<i>j")), QStringLiteral("abcdefghij"));
    EXPECT_EQ(CleanFileName(QStringLiteral(" Ünïcode. blank ")),
              QStringLiteral(" Ünïcode. blank "));
    EXPECT_EQ(CleanFileName(QStringLiteral("*?:")), QString());
}

TEST(ExtensionTest, ByFormatNumber)
{
    const auto extension = [](int number) {
        return extensionForFormat(static_cast<OutputFormatNumber>(number));
    };
    EXPECT_EQ(extension(0), QStringLiteral(".mp3"));
    EXPECT_EQ(extension(1), QStringLiteral(".wav"));
    EXPECT_EQ(extension(2), QStringLiteral(".wma"));
    EXPECT_EQ(extension(3), QStringLiteral(".ogg"));
    EXPECT_EQ(extension(4), QStringLiteral(".rm"));
    EXPECT_EQ(extension(5), QStringLiteral(".flac"));
    EXPECT_EQ(extension(6), QStringLiteral(".opus"));
    EXPECT_EQ(extension(7), QStringLiteral(".m4a"));
    EXPECT_EQ(extension(8), QString());
}

TEST_F(OutputNamingTest, ArtistAlbumSchemeCreatesCleanedLevels)
{
    SettingsFile settings(path(QStringLiteral("s.ini")));
    settings.writeString(QStringLiteral("Main"), QStringLiteral("Path"), music());
    const QString dir =
        outputDirectory(settings, 3, QStringLiteral("Art/Pop"), QStringLiteral("Live: Bootleg"));
    EXPECT_EQ(dir, music() + QStringLiteral("/ArtPop/Live Bootleg/"));
    EXPECT_TRUE(QFileInfo(dir).isDir());
    EXPECT_EQ(outputFilePath(dir, QStringLiteral("Track01"), QStringLiteral(".wma"), 1),
              dir + QStringLiteral("Track01.wma"));

    // A trailing separator gives the same result.
    settings.writeString(QStringLiteral("Main"), QStringLiteral("Path"), music() + u'/');
    EXPECT_EQ(
        outputDirectory(settings, 3, QStringLiteral("Art/Pop"), QStringLiteral("Live: Bootleg")),
        dir);
}

TEST_F(OutputNamingTest, SchemesAndLevelsThatAreNotAdded)
{
    EXPECT_EQ(outputDirectory(music(), 0, QStringLiteral("A"), QStringLiteral("B")),
              music() + u'/');
    EXPECT_EQ(outputDirectory(music(), 1, QStringLiteral("A"), QStringLiteral("B")),
              music() + QStringLiteral("/A/"));
    EXPECT_EQ(outputDirectory(music(), 2, QStringLiteral("A"), QStringLiteral("B")),
              music() + QStringLiteral("/B/"));
    // Names that clean to nothing, or to dots only, never add a level or climb out.
    EXPECT_EQ(outputDirectory(music(), 1, QStringLiteral("*?"), QString()), music() + u'/');
    EXPECT_EQ(outputDirectory(music(), 3, QStringLiteral(".."), QStringLiteral(".")),
              music() + u'/');
    EXPECT_EQ(outputDirectory(music(), 3, QStringLiteral("../.."), QStringLiteral("x")),
              music() + QStringLiteral("/x/"));
    // Folders are never hidden, nor end in a blank or a dot.
    EXPECT_EQ(outputDirectory(music(), 3, QStringLiteral(".hidden"), QStringLiteral("Live. ")),
              music() + QStringLiteral("/hidden/Live/"));
}

TEST_F(OutputNamingTest, OnlyOneLevelIsCreatedAtATime)
{
    const QString deep = path(QStringLiteral("missing/parent"));
    const QString dir = outputDirectory(deep, 1, QStringLiteral("Artist"), QString());
    EXPECT_EQ(dir, deep + QStringLiteral("/Artist/"));
    EXPECT_FALSE(QFileInfo::exists(deep));
}

TEST_F(OutputNamingTest, EmptyOrMissingPathMeansMusicFolder)
{
    SettingsFile settings(path(QStringLiteral("s.ini")));
    const QString def = storedOutputPath(settings);
    EXPECT_FALSE(def.isEmpty());
    settings.writeString(QStringLiteral("Main"), QStringLiteral("Path"), QString());
    EXPECT_EQ(storedOutputPath(settings), def);
}

TEST_F(OutputNamingTest, NumberedVariantsNeverOverwrite)
{
    const QString dir = root() + u'/';
    const QString ext = QStringLiteral(".wma");
    EXPECT_EQ(outputFilePath(dir, QStringLiteral("Track01"), ext, 1),
              dir + QStringLiteral("Track01.wma"));
    touch(dir + QStringLiteral("Track01.wma"));
    EXPECT_EQ(outputFilePath(dir, QStringLiteral("Track01"), ext, 1),
              dir + QStringLiteral("Track01_01.wma"));
    touch(dir + QStringLiteral("Track01_01.wma"));
    EXPECT_EQ(outputFilePath(dir, QStringLiteral("Track01"), ext, 1),
              dir + QStringLiteral("Track01_02.wma"));
    for (int n = 2; n < 10; ++n)
        touch(dir + QStringLiteral("Track01_") + TwoDigits(n) + ext);
    EXPECT_EQ(outputFilePath(dir, QStringLiteral("Track01"), ext, 1),
              dir + QStringLiteral("Track01_10.wma"));

    // A folder of the candidate's name is not a file; a dangling link is.
    QDir(root()).mkdir(QStringLiteral("Dir.wma"));
    EXPECT_EQ(outputFilePath(dir, QStringLiteral("Dir"), ext, 1), dir + QStringLiteral("Dir.wma"));
    QFile::link(path(QStringLiteral("nowhere")), dir + QStringLiteral("Link.wma"));
    EXPECT_EQ(outputFilePath(dir, QStringLiteral("Link"), ext, 1),
              dir + QStringLiteral("Link_01.wma"));
}

TEST_F(OutputNamingTest, CaptionsAreTitlesNotFileNames)
{
    const QString dir = root() + u'/';
    const QString ext = QStringLiteral(".wav");
    // A dot in a title is kept; the extension is appended to the whole name.
    EXPECT_EQ(outputFilePath(dir, QStringLiteral("Mr. Blue Sky"), ext, 1),
              dir + QStringLiteral("Mr. Blue Sky.wav"));
    EXPECT_EQ(outputFilePath(dir, QStringLiteral("Intro. Part One"), ext, 1),
              dir + QStringLiteral("Intro. Part One.wav"));
    touch(dir + QStringLiteral("Vol. 1.wav"));
    EXPECT_EQ(outputFilePath(dir, QStringLiteral("Vol. 2"), ext, 2),
              dir + QStringLiteral("Vol. 2.wav"));
    EXPECT_EQ(outputFilePath(dir, QStringLiteral("Vol. 1"), ext, 1),
              dir + QStringLiteral("Vol. 1_01.wav"));

    // No hidden files, no names ending in a blank or a dot; nothing left gives the placeholder.
    EXPECT_EQ(outputFilePath(dir, QStringLiteral(".hidden"), ext, 3),
              dir + QStringLiteral("hidden.wav"));
    EXPECT_EQ(outputFilePath(dir, QStringLiteral("Fade out... "), ext, 3),
              dir + QStringLiteral("Fade out.wav"));
    EXPECT_EQ(outputFilePath(dir, QStringLiteral("*?"), ext, 4),
              dir + QStringLiteral("Track04.wav"));
    EXPECT_EQ(outputFilePath(dir, QStringLiteral(" . "), ext, 12),
              dir + QStringLiteral("Track12.wav"));
}

TEST(CleanFileNameTest, ControlCharactersNeverReachANameOrAFolder)
{
    const QString hostile = QStringLiteral("\x1b]0;owned\x07Title\x1b[2J\u0085\x7f");
    EXPECT_EQ(CleanFileName(hostile), QStringLiteral("]0;ownedTitle[2J"));
    EXPECT_EQ(CleanFileName(QStringLiteral("a\tb\nc")), QStringLiteral("abc"));
    EXPECT_EQ(cleanNameStem(QStringLiteral("\x01..x..\x02")), QStringLiteral("x"));
}

TEST_F(OutputNamingTest, LongNamesAreCutToFitTheFileSystem)
{
    const QString dir = root() + u'/';
    const QString ext = QStringLiteral(".wma");
    const QString longTitle = QString(200, u'é'); // 400 bytes of UTF-8
    const QString first = outputFilePath(dir, longTitle, ext, 1);
    const QString firstName = QFileInfo(first).fileName();
    EXPECT_LE(firstName.toUtf8().size(), MaxNameBytes);
    EXPECT_TRUE(firstName.endsWith(ext));
    EXPECT_TRUE(firstName.startsWith(QString(125, u'é')));
    touch(first);
    EXPECT_TRUE(QFileInfo::exists(first));
    const QString second = QFileInfo(outputFilePath(dir, longTitle, ext, 1)).fileName();
    EXPECT_LE(second.toUtf8().size(), MaxNameBytes);
    EXPECT_TRUE(second.endsWith(QStringLiteral("_01.wma")));

    const QString folder = outputDirectory(root(), 1, QString(300, u'a'), QString());
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(QDir(folder).dirName().size(), MaxNameBytes);

    // A surrogate pair is never split.
    const QString emoji = QString::fromUtf8("\xF0\x9F\x8E\xB5");
    EXPECT_EQ(cutToUtf8Bytes(QStringLiteral("a") + emoji, 4), QStringLiteral("a"));
    EXPECT_EQ(cutToUtf8Bytes(QStringLiteral("a") + emoji, 5), QStringLiteral("a") + emoji);
}

} // namespace
