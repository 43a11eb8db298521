// Disc images whose cue sheet names the data file: the BIN it names is what gets read, and what
// cannot be read is refused with the reason, without waiting on anything.

#include "GrabberTestSupport.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class CueNamedBin : public GrabberTest
{
protected:
    static DiscFixture::DiscLayout discWithBin(const std::string& binName,
                                               std::vector<int> sectors = {150, 75})
    {
        DiscFixture::DiscLayout layout = DiscFixture::audioDisc(sectors);
        layout.binName = binName;
        return layout;
    }

    QString writeCue(const QString& name, const QByteArray& text)
    {
        QFile cue(path(name));
        EXPECT_TRUE(cue.open(QIODevice::WriteOnly));
        cue.write(text);
        return cue.fileName();
    }

    // The error ReadDisc raises for the last drive, which driveProblem must report as well.
    static QString readDiscError(TAudioCDGrabber2& grabber)
    {
        const int drive = grabber.DeviceCount();
        EXPECT_EQ(grabber.driveState(drive), DriveState::Empty);
        QString error = QStringLiteral("no error");
        try {
            grabber.ReadDisc();
        } catch (const ComponentError& e) {
            error = e.message();
        }
        EXPECT_EQ(grabber.driveProblem(drive), error);
        EXPECT_EQ(grabber.TrackCount(), 0);
        return error;
    }

    void expectBitExact(TAudioCDGrabber2& grabber, int index, int track, int sectors)
    {
        const QString out = path(QStringLiteral("track%1.wav").arg(index + 1));
        const GrabOutcome outcome = grab(grabber, index, out);
        ASSERT_TRUE(outcome.completed) << outcome.failure.toStdString();
        EXPECT_EQ(mismatchAt(decode(out), expected(track, 0, sectors)), -1);
    }
};

TEST_F(CueNamedBin, TheBinTheSheetNamesIsRead)
{
    DiscFixture::DiscLayout album = discWithBin("My Album.bin");
    album.album = "Named Album";
    auto grabber = grabberFor({makeDisc(QStringLiteral("disc"), album)});
    EXPECT_EQ(grabber->driveState(grabber->DeviceCount()), DriveState::AudioDisc);
    EXPECT_EQ(grabber->driveProblem(grabber->DeviceCount()), QString());
    grabber->ReadDisc();
    ASSERT_EQ(grabber->TrackCount(), 2);
    EXPECT_EQ(grabber->TrackAlbum(), QStringLiteral("Named Album"));
    expectBitExact(*grabber, 1, 2, 75);
}

TEST_F(CueNamedBin, ARelativeNameWinsOverABinNamedLikeTheSheet)
{
    QDir().mkpath(path(QStringLiteral("rel")));
    const QString cue = makeDisc(QStringLiteral("rel/rel"), discWithBin("../t1/base.bin"));
    // Same size, other audio: silence.
    QFile unrelated(path(QStringLiteral("rel/rel.bin")));
    ASSERT_TRUE(unrelated.open(QIODevice::WriteOnly));
    ASSERT_TRUE(unrelated.resize(QFileInfo(path(QStringLiteral("t1/base.bin"))).size()));
    unrelated.close();

    auto grabber = grabberFor({cue});
    grabber->ReadDisc();
    ASSERT_EQ(grabber->TrackCount(), 2);
    expectBitExact(*grabber, 0, 1, 150);
}

TEST_F(CueNamedBin, AMissingBinIsNamed)
{
    DiscFixture::DiscLayout gone = discWithBin("gone/Other.bin");
    gone.missingBin = true;
    auto grabber = grabberFor({makeDisc(QStringLiteral("lost"), gone)});
    EXPECT_EQ(readDiscError(*grabber),
              QStringLiteral("The disc image ") + path(QStringLiteral("lost.cue")) +
                  QStringLiteral(" names ") + path(QStringLiteral("gone/Other.bin")) +
                  QStringLiteral(", which does not exist."));
}

TEST_F(CueNamedBin, SheetsOfOtherKindsAreRefusedSayingWhy)
{
    const QByteArray track = "  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n";
    auto wave = grabberFor(
        {writeCue(QStringLiteral("wave.cue"), "FILE \"song one.wav\" WAVE\r\n" + track)});
    EXPECT_EQ(readDiscError(*wave),
              QStringLiteral("The disc image ") + path(QStringLiteral("wave.cue")) +
                  QStringLiteral(" names a WAVE file (song one.wav); only a BINARY or MOTOROLA "
                                 "image can be read."));

    auto several = grabberFor({writeCue(QStringLiteral("several.cue"),
                                        "FILE a.bin BINARY\r\n" + track + "FILE b.bin BINARY\r\n" +
                                            "  TRACK 02 AUDIO\r\n    INDEX 01 00:00:00\r\n")});
    EXPECT_TRUE(readDiscError(*several).contains(QStringLiteral("names 2 data files")));

    auto none = grabberFor({writeCue(QStringLiteral("none.cue"), track)});
    EXPECT_TRUE(readDiscError(*none).contains(QStringLiteral("names no data file")));
}

// A FIFO is never opened for reading: that would wait for a writer forever (SIGALRM ends a hung
// test).
TEST_F(CueNamedBin, AFifoAsBinOrSheetIsRefusedAtOnce)
{
    ::alarm(60);
    const QString fifoBin = path(QStringLiteral("fifo.bin"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifoBin).constData(), 0600), 0);
    auto fifoAsBin = grabberFor(
        {writeCue(QStringLiteral("piped.cue"),
                  "FILE \"fifo.bin\" BINARY\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n")});
    EXPECT_EQ(readDiscError(*fifoAsBin), QStringLiteral("The disc image ") +
                                             path(QStringLiteral("piped.cue")) +
                                             QStringLiteral(" names ") + fifoBin +
                                             QStringLiteral(", which is not a regular file."));

    const QString fifoCue = path(QStringLiteral("fifo.cue"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifoCue).constData(), 0600), 0);
    auto fifoAsCue = grabberFor({fifoCue});
    EXPECT_EQ(readDiscError(*fifoAsCue), QStringLiteral("The disc image ") + fifoCue +
                                             QStringLiteral(" is not a regular file."));
    ::alarm(0);
}

} // namespace
