#include "base/ComponentError.h"
#include "settings/Locations.h"
#include "settings/SettingsFile.h"
#include "support/EnvGuard.h"
#include "support/TempDir.h"

#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class SettingsFileTest : public TempDirTest
{
protected:
    QString file() const { return path(QStringLiteral("LumRipwellconverter.ini")); }
    SettingsFile settings{file()};

    int readInt(const QByteArray& value, int def = 7)
    {
        writeAll(file(), "[Format]\nmode=" + value + "\n");
        return settings.readInteger(QStringLiteral("Format"), QStringLiteral("mode"), def);
    }
};

TEST_F(SettingsFileTest, MissingFileGivesDefaultsAndIsNotCreated)
{
    EXPECT_EQ(settings.readInteger(QStringLiteral("wma"), QStringLiteral("format"), 9), 9);
    EXPECT_TRUE(settings.readBool(QStringLiteral("MP3VBR"), QStringLiteral("vbrck"), true));
    EXPECT_EQ(
        settings.readString(QStringLiteral("Main"), QStringLiteral("Path"), QStringLiteral("x")),
        QStringLiteral("x"));
    EXPECT_FALSE(QFileInfo::exists(file()));
}

TEST_F(SettingsFileTest, IntegerForms)
{
    EXPECT_EQ(readInt("0x1F"), 31);
    EXPECT_EQ(readInt("0X1f"), 31);
    EXPECT_EQ(readInt("$1F"), 31);
    EXPECT_EQ(readInt("-1"), -1);
    EXPECT_EQ(readInt("+12"), 12);
    EXPECT_EQ(readInt("$FFFFFFFF"), -1);
    EXPECT_EQ(readInt("0x"), 7);
    EXPECT_EQ(readInt("$"), 7);
    EXPECT_EQ(readInt("word"), 7);
    EXPECT_EQ(readInt("12abc"), 7);
    EXPECT_EQ(readInt(""), 7);
    EXPECT_EQ(readInt("99999999999"), 7);
    EXPECT_EQ(readInt("0x123456789"), 7);
    EXPECT_EQ(readInt("1 2"), 7);
}

TEST_F(SettingsFileTest, Booleans)
{
    const auto readBool = [&](const QByteArray& value, bool def) {
        writeAll(file(), "[ogg]\noggvbr=" + value + "\n");
        return settings.readBool(QStringLiteral("ogg"), QStringLiteral("oggvbr"), def);
    };
    EXPECT_TRUE(readBool("2", false));
    EXPECT_TRUE(readBool("-1", false));
    EXPECT_FALSE(readBool("0", true));
    EXPECT_TRUE(readBool("", true));
    EXPECT_FALSE(readBool("", false));
    EXPECT_TRUE(readBool("yes", true));
}

TEST_F(SettingsFileTest, StringsAreCutAt2047Characters)
{
    settings.writeString(QStringLiteral("Main"), QStringLiteral("Path"), QString(3000, u'a'));
    EXPECT_EQ(settings.readString(QStringLiteral("Main"), QStringLiteral("Path"), {}),
              QString(2047, u'a'));
}

TEST_F(SettingsFileTest, HandEditedFile)
{
    writeAll(file(), "; my settings\r\n"
                     "  [ MAIN ]  \r\n"
                     "  path =  /music/here  \r\n"
                     "PATH=/second\r\n"
                     "[mp3vbr]\r\n"
                     "Vbr Bitrate=11\r\n"
                     "[main]\r\n"
                     "Output=3\r\n"
                     "[Freedb]\r\n"
                     "proxy=\"quoted value\"\r\n"
                     "port=8080");
    EXPECT_EQ(settings.readString(QStringLiteral("Main"), QStringLiteral("Path"), {}),
              QStringLiteral("/music/here"));
    EXPECT_EQ(settings.readInteger(QStringLiteral("MP3VBR"), QStringLiteral("vbr bitrate"), 9), 11);
    // A second section of the same name is not looked at.
    EXPECT_EQ(settings.readInteger(QStringLiteral("Main"), QStringLiteral("Output"), 0), 0);
    EXPECT_EQ(settings.readString(QStringLiteral("Freedb"), QStringLiteral("proxy"), {}),
              QStringLiteral("quoted value"));
    EXPECT_EQ(settings.readString(QStringLiteral("Freedb"), QStringLiteral("port"), {}),
              QStringLiteral("8080"));
}

TEST_F(SettingsFileTest, WritesKeepEveryOtherLine)
{
    const QByteArray original = "; comment\r\n"
                                "[Unknown]\r\n"
                                "thing = kept as is\r\n"
                                "\r\n"
                                "[wma]\r\n"
                                "Format=3\r\n"
                                "other=1\r\n"
                                "\r\n"
                                "[Tail]\r\n"
                                "x=1";
    writeAll(file(), original);
    settings.writeInteger(QStringLiteral("WMA"), QStringLiteral("format"), 12);
    settings.writeBool(QStringLiteral("wma"), QStringLiteral("new"), true);
    settings.writeString(QStringLiteral("Freedb"), QStringLiteral("proxy"), QStringLiteral("p:1"));
    EXPECT_EQ(readAll(file()), QByteArray("; comment\r\n"
                                          "[Unknown]\r\n"
                                          "thing = kept as is\r\n"
                                          "\r\n"
                                          "[wma]\r\n"
                                          "Format=12\r\n"
                                          "other=1\r\n"
                                          "new=1\r\n"
                                          "\r\n"
                                          "[Tail]\r\n"
                                          "x=1\r\n"
                                          "[Freedb]\r\n"
                                          "proxy=p:1\r\n"));
    EXPECT_EQ(settings.readInteger(QStringLiteral("wma"), QStringLiteral("format"), 9), 12);
}

TEST_F(SettingsFileTest, FirstWriteCreatesFileAndFolder)
{
    SettingsFile nested(path(QStringLiteral("a/b/LumRipwellconverter.ini")));
    nested.writeInteger(QStringLiteral("Main"), QStringLiteral("Output"), 2);
    EXPECT_EQ(readAll(nested.path()), QByteArray("[Main]\nOutput=2\n"));
    EXPECT_EQ(nested.readInteger(QStringLiteral("main"), QStringLiteral("OUTPUT"), 0), 2);
}

TEST_F(SettingsFileTest, FailedWriteRaisesAndLeavesFileIntact)
{
    const QByteArray original = "[Main]\nOutput=1\n";
    writeAll(file(), original);
    QFile::setPermissions(file(), QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    try {
        settings.writeInteger(QStringLiteral("Main"), QStringLiteral("Output"), 2);
        FAIL() << "no error raised";
    } catch (const SettingsWriteError& e) {
        EXPECT_EQ(QString::fromUtf8(e.what()), QStringLiteral("Unable to write to ") + file());
    }
    EXPECT_EQ(readAll(file()), original);

    // A folder that cannot be made: the path runs through a plain file.
    SettingsFile blocked(path(QStringLiteral("LumRipwellconverter.ini/sub/x.ini")));
    EXPECT_THROW(blocked.writeInteger(QStringLiteral("Main"), QStringLiteral("Output"), 2),
                 SettingsWriteError);
    EXPECT_EQ(readAll(file()), original);
}

// A line break in a value, key or section would add lines to the file and cut the value: every
// write refuses it and leaves the file as it was.
TEST_F(SettingsFileTest, LineBreaksAreRefused)
{
    const QByteArray original = "[Main]\nPath=/music\n";
    writeAll(file(), original);
    for (const auto& [section, key, value] : {std::tuple{"Main", "Path", "/music/a\nb"},
                                              {"Main", "Path", "/music\rOutput=3"},
                                              {"Main", "a\nb", ""},
                                              {"M\r\nX", "Path", ""}}) {
        const QString s = QLatin1String(section), k = QLatin1String(key), v = QLatin1String(value);
        EXPECT_THROW(settings.writeString(s, k, v), ComponentError) << section << key << value;
        EXPECT_THROW(settings.writeSection(s, {{k, v}}), ComponentError) << section << key << value;
        EXPECT_EQ(readAll(file()), original);
    }
}

// Each of these would block, never end or exhaust memory if it were read like a file; none may be
// waited on (a hang ends the test by SIGALRM), the program gets the defaults and a reason, and a
// write leaves the thing as it was.
TEST_F(SettingsFileTest, ThingsThatAreNotASettingsFileAreRefusedWithoutWaiting)
{
    ::alarm(60);
    ASSERT_EQ(::mkfifo(QFile::encodeName(path(QStringLiteral("fifo.ini"))).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path(QStringLiteral("zero.ini"))));
    ASSERT_TRUE(QDir(root()).mkdir(QStringLiteral("folder.ini")));
    writeAll(path(QStringLiteral("large.ini")), "[Main]\nOutput=5\n");
    QFile large(path(QStringLiteral("large.ini")));
    ASSERT_TRUE(large.resize(SettingsFile::MaxFileBytes + 1));
    const struct
    {
        const char* name;
        const char* problem;
    } cases[] = {{"fifo.ini", " is not a regular file"},
                 {"zero.ini", " is not a regular file"},
                 {"folder.ini", " is not a regular file"},
                 {"large.ini", " is larger than 4194304 bytes"}};
    for (const auto& c : cases) {
        SettingsFile refused(path(QLatin1String(c.name)));
        EXPECT_EQ(refused.problem(), refused.path() + QLatin1String(c.problem));
        EXPECT_EQ(refused.readInteger(QStringLiteral("Main"), QStringLiteral("Output"), 3), 3);
        EXPECT_EQ(refused.readString(QStringLiteral("Main"), QStringLiteral("Output"),
                                     QStringLiteral("d")),
                  QStringLiteral("d"));
        try {
            refused.writeInteger(QStringLiteral("Main"), QStringLiteral("Output"), 2);
            ADD_FAILURE() << "no error raised for " << c.name;
        } catch (const SettingsWriteError& e) {
            EXPECT_EQ(QString::fromUtf8(e.what()),
                      QStringLiteral("Unable to write to ") + refused.path());
        }
    }
    ::alarm(0);
    struct stat fifo
    {
    };
    ASSERT_EQ(::lstat(QFile::encodeName(path(QStringLiteral("fifo.ini"))).constData(), &fifo), 0);
    EXPECT_TRUE(S_ISFIFO(fifo.st_mode));
    EXPECT_EQ(QFileInfo(path(QStringLiteral("zero.ini"))).symLinkTarget(),
              QStringLiteral("/dev/zero"));
    EXPECT_EQ(QFileInfo(path(QStringLiteral("large.ini"))).size(), SettingsFile::MaxFileBytes + 1);

    EXPECT_EQ(settings.problem(), QString()); // missing is fine
    writeAll(file(), "[Main]\nOutput=1\n");
    EXPECT_EQ(settings.problem(), QString());
}

TEST(SettingsLocation, FollowsXdgConfigHome)
{
    const EnvGuard configHome("XDG_CONFIG_HOME");
    configHome.set("/home/someone/cfg");
    EXPECT_EQ(Locations::settingsFilePath(),
              QStringLiteral("/home/someone/cfg/LumRipwellconverter.ini"));
    configHome.set("relative/cfg"); // not absolute: ignored, as the base directory rules say
    EXPECT_TRUE(
        Locations::settingsFilePath().endsWith(QStringLiteral("/.config/LumRipwellconverter.ini")));
    configHome.set("");
    EXPECT_TRUE(
        Locations::settingsFilePath().endsWith(QStringLiteral("/.config/LumRipwellconverter.ini")));
}

} // namespace
