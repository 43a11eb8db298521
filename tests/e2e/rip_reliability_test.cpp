#include "RipCliSupport.h"
#include "base/UniqueFd.h"
#include "support/MediaProbe.h"

#include <QThread>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>

namespace {

class RipReliabilityTest : public RipCliTest
{
protected:
    // The files a user sees: everything but hidden ones.
    QStringList visibleFiles(const QString& folder) const
    {
        QStringList files;
        for (const QString& file : filesBelow(folder))
            if (!QFileInfo(file).fileName().startsWith(u'.'))
                files << file;
        return files;
    }

    QStringList ripArgs(const QString& cue, const QString& dest, const char* format,
                        const char* jobs) const
    {
        return withoutReports({QStringLiteral("-d"), cue, QStringLiteral("-f"),
                               QLatin1StringView(format), QStringLiteral("-o"), dest,
                               QStringLiteral("-j"), QLatin1StringView(jobs)});
    }
};

// --- Files: nothing under a final name that is not complete, nothing temporary left ---

TEST_F(RipReliabilityTest, KilledRipLeavesNoFileUnderAFinalNameAndNoSpool)
{
    const QString cue = makeDisc(QStringLiteral("long"), {90, 90});
    for (const char* jobs : {"1", "2"}) {
        const QString dest = path(QStringLiteral("kill") + QLatin1StringView(jobs));
        QProcess process;
        process.setProcessEnvironment(environment({}));
        process.start(ripProgram(), ripArgs(cue, dest, "mp3", jobs));
        ASSERT_TRUE(process.waitForReadyRead(30000));
        QThread::msleep(300); // well into the first track
        process.kill();
        ASSERT_TRUE(process.waitForFinished(30000));
        EXPECT_TRUE(visibleFiles(dest).isEmpty()) << visibleFiles(dest).join(u' ').toStdString();
        // The spool had no name, so the kill took it along.
        EXPECT_TRUE(filesBelow(tmp()).isEmpty()) << filesBelow(tmp()).join(u' ').toStdString();
    }
    // The killed rip's partial file stays, until a rip into that folder finds it stale (not
    // written for a while, its lock free). A partial another rip holds, and any other file,
    // stay.
    const QString dest = path(QStringLiteral("kill1"));
    const QStringList killed = filesBelow(dest);
    ASSERT_EQ(killed.size(), 1) << killed.join(u' ').toStdString();
    const QString held = dest + QStringLiteral("/.Other.wav.abc123.part");
    const QString notOurs = dest + QStringLiteral("/.notes.part");
    writeAll(held, "another rip's");
    writeAll(notOurs, "user's");
    const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
    for (const QString& file : QStringList{dest + u'/' + killed[0], held, notOurs}) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite) &&
                    f.setFileTime(hourAgo, QFileDevice::FileModificationTime));
    }
    const UniqueFd lock(::open(QFile::encodeName(held).constData(), O_RDONLY));
    ASSERT_EQ(::flock(lock.get(), LOCK_EX), 0);
    // The next rip takes the plain names: no truncated file stood in the way.
    const RunResult r =
        rip({QStringLiteral("-d"), cue, QStringLiteral("-f"), QStringLiteral("wav"),
             QStringLiteral("-t"), QStringLiteral("2"), QStringLiteral("-o"), dest});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(filesBelow(dest),
              (QStringList{QStringLiteral(".Other.wav.abc123.part"), QStringLiteral(".notes.part"),
                           QStringLiteral("Café Müller.wav")}));
}

TEST_F(RipReliabilityTest, ClosedOutputEndsTheRipCleanly)
{
    const QString cue = makeDisc(QStringLiteral("long"), {60, 60});
    const QString dest = path(QStringLiteral("pipe"));
    // As a user would: the first line is all that `head` takes, then the pipe is closed.
    QProcess process;
    process.setProcessEnvironment(environment({}));
    const QStringList shell{
        QStringLiteral("-c"),
        QStringLiteral("\"$0\" \"$@\" | head -1 >/dev/null; exit ${PIPESTATUS[0]}"), ripProgram()};
    process.start(QStringLiteral("bash"), shell + ripArgs(cue, dest, "mp3", "1"));
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 1); // not 141, a death by SIGPIPE
    const QString err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_TRUE(err.contains(QStringLiteral("standard output was closed"))) << err.toStdString();
    EXPECT_TRUE(filesBelow(dest).isEmpty()) << filesBelow(dest).join(u' ').toStdString();
}

TEST_F(RipReliabilityTest, OutputFolderIsMadeWithItsParentsOrRefusedBeforeAnyRead)
{
    const QString cue = makeDisc(QStringLiteral("disc"));
    for (const char* jobs : {"1", "2"}) {
        const QString dest = path(QStringLiteral("a%1/b/c").arg(QLatin1StringView(jobs)));
        const RunResult r = rip(ripArgs(cue, dest, "wav", jobs));
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_EQ(filesBelow(dest).size(), 3);
    }

    // A folder without write permission fails alike for every format, also for root, before the
    // first read, and nothing is written.
    const QString locked = path(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkpath(locked));
    ::chmod(QFile::encodeName(locked).constData(), 0555);
    for (const char* format : {"wav", "mp3", "ogg", "wma"}) {
        const RunResult r = rip(ripArgs(cue, locked, format, "1"));
        EXPECT_EQ(r.code, 1) << format;
        EXPECT_TRUE(r.err.contains(QStringLiteral("Cannot write to the output folder")))
            << r.err.toStdString();
        EXPECT_FALSE(r.out.contains(QStringLiteral("Track"))) << r.out.toStdString();
    }
    ::chmod(QFile::encodeName(locked).constData(), 0755);
    EXPECT_TRUE(filesBelow(locked).isEmpty());

    // A folder that cannot be made: a file stands where a parent should be.
    writeAll(path(QStringLiteral("plain")), "user's file");
    const RunResult nested = rip(ripArgs(cue, path(QStringLiteral("plain/sub")), "wav", "2"));
    EXPECT_EQ(nested.code, 1);
    EXPECT_TRUE(nested.err.contains(QStringLiteral("Cannot create the output folder")))
        << nested.err.toStdString();
    EXPECT_EQ(readAll(path(QStringLiteral("plain"))), QByteArray("user's file"));
}

TEST_F(RipReliabilityTest, FullDiskIsReportedAndLeavesNothingBehind)
{
    // A real full disk: a small tmpfs (the tests run as root in CI).
    const QString disk = path(QStringLiteral("small"));
    ASSERT_TRUE(QDir().mkpath(disk));
    if (::mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=600k") != 0)
        GTEST_SKIP() << "mounting a tmpfs needs root: " << std::strerror(errno);
    const struct Unmount
    {
        QByteArray at;
        ~Unmount() { ::umount(at.constData()); }
    } unmount{QFile::encodeName(disk)};
    const QString cue = makeDisc(QStringLiteral("long"), {30, 30});
    for (const auto& [format, jobs] :
         {std::pair{"wav", "1"}, std::pair{"mp3", "1"}, std::pair{"ogg", "2"}}) {
        const RunResult r = rip(ripArgs(cue, disk, format, jobs));
        EXPECT_EQ(r.code, 1) << format;
        EXPECT_TRUE(r.err.contains(QStringLiteral("No space left on device")))
            << format << ": " << r.err.toStdString();
        EXPECT_TRUE(filesBelow(disk).isEmpty()) << filesBelow(disk).join(u' ').toStdString();
    }
    // The spool itself on the full disk.
    QProcessEnvironment env = environment({});
    env.insert(QStringLiteral("TMPDIR"), disk);
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(ripProgram(), ripArgs(cue, out(), "ogg", "2"));
    ASSERT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitCode(), 1);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_TRUE(err.contains(QStringLiteral("No space left on device"))) << err.toStdString();
    EXPECT_TRUE(filesBelow(disk).isEmpty());
    EXPECT_TRUE(visibleFiles(out()).isEmpty());
}

// --- Names: what the disc says never reaches a name or the terminal unchecked ---

TEST_F(RipReliabilityTest, HostileAndDottedTitlesGiveSafeNamesAndPlainOutput)
{
    DiscFixture::DiscLayout disc;
    disc.performer = "\x1b[31mRed";
    for (const char* title : {"\x1b]0;owned\x07"
                              "Evil\x1b[2J",
                              "Mr. Blue Sky", ".hidden", "..."})
        disc.tracks.push_back({SectorsPerSecond, title, {}});
    const QString cue = path(QStringLiteral("hostile.cue"));
    DiscFixture::writeDisc(cue.toStdString(), disc);

    const RunResult r =
        rip({QStringLiteral("-d"), cue, QStringLiteral("-f"), QStringLiteral("wav"),
             QStringLiteral("-o"), out(), QStringLiteral("--scheme"), QStringLiteral("artist")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(filesBelow(out()), (QStringList{QStringLiteral("[31mRed/Mr. Blue Sky.wav"),
                                              QStringLiteral("[31mRed/Track04.wav"),
                                              QStringLiteral("[31mRed/]0;ownedEvil[2J.wav"),
                                              QStringLiteral("[31mRed/hidden.wav")}));
    const RunResult list = rip({QStringLiteral("--list"), QStringLiteral("-d"), cue});
    for (const QString& text : {r.out, r.err, list.out}) {
        EXPECT_FALSE(text.contains(u'\x1b')) << text.toStdString();
        EXPECT_FALSE(text.contains(u'\x07'));
    }
    // The disc's texts lose their control characters wherever they go.
    EXPECT_TRUE(list.out.contains(QStringLiteral(" ]0;ownedEvil[2J "))) << list.out.toStdString();
}

TEST_F(RipReliabilityTest, ListMarksTheCurrentDriveAndImagePathsMayHoldColons)
{
    const QString other = makeDisc(QStringLiteral("other"));
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("a:b"))));
    DiscFixture::DiscLayout disc;
    disc.tracks.push_back({SectorsPerSecond, "Only", {}});
    const QString cue = path(QStringLiteral("a:b/disc.cue"));
    DiscFixture::writeDisc(cue.toStdString(), disc);

    const RunResult list = rip({QStringLiteral("--list"), QStringLiteral("-d"), cue}, other);
    ASSERT_EQ(list.code, 0) << list.err.toStdString();
    EXPECT_TRUE(list.out.contains(QStringLiteral("  1  Disc Image other.cue CUE")))
        << list.out.toStdString();
    EXPECT_TRUE(list.out.contains(QStringLiteral("  2* Disc Image disc.cue CUE")))
        << list.out.toStdString();
    EXPECT_TRUE(list.out.contains(QStringLiteral(" 1  00:01  Only")));

    // The attached form of a short option's value, as other tools take it.
    const RunResult r = rip({QStringLiteral("-d"), cue, QStringLiteral("-j1"),
                             QStringLiteral("-fwav"), QStringLiteral("-o"), out()});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(filesBelow(out()), QStringList{QStringLiteral("Only.wav")});
}

// --- Races: two rips of one disc into one folder ---

TEST_F(RipReliabilityTest, TwoRipsIntoOneFolderBothFinish)
{
    const QString cue = makeDisc(QStringLiteral("disc"), {3, 2, 3, 2});
    std::vector<std::unique_ptr<QProcess>> rips;
    for (int i = 0; i < 2; ++i) {
        rips.push_back(std::make_unique<QProcess>());
        rips.back()->setProcessEnvironment(environment({}));
        rips.back()->start(ripProgram(), ripArgs(cue, out(), "mp3", "2"));
    }
    for (auto& process : rips) {
        ASSERT_TRUE(process->waitForFinished(120000));
        EXPECT_EQ(process->exitCode(), 0) << process->readAllStandardError().toStdString();
    }
    const QStringList files = filesBelow(out());
    ASSERT_EQ(files.size(), 8) << files.join(u' ').toStdString();
    for (const QString& name : {QStringLiteral("Song 1"), QStringLiteral("Café Müller")}) {
        EXPECT_TRUE(files.contains(name + QStringLiteral(".mp3")));
        EXPECT_TRUE(files.contains(name + QStringLiteral("_01.mp3")));
    }
    for (const QString& file : files) {
        const auto info = MediaProbe::probe(out() + u'/' + file);
        ASSERT_TRUE(info) << file.toStdString();
        EXPECT_GT(info->duration, 1.9);
    }
}

} // namespace
