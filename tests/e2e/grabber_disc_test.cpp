// Drives, disc states, table of contents, texts and disc changes of disc images through the real
// libcdio.

#include "GrabberTestSupport.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

#include <sys/stat.h>

namespace {

class GrabberDisc : public GrabberTest
{
protected:
    static int sectorsOf(int minutes, int seconds, int frames)
    {
        return (minutes * 60 + seconds) * 75 + frames;
    }

    static std::vector<int> trackLengths(TAudioCDGrabber2& grabber)
    {
        std::vector<int> lengths;
        for (int i = 0; i < grabber.TrackCount(); ++i) {
            grabber.CurrentTrack(i);
            lengths.push_back(
                sectorsOf(grabber.TrackLength1(), grabber.TrackLength2(), grabber.TrackLength3()));
        }
        return lengths;
    }
};

TEST_F(GrabberDisc, ImageDrivesComeLastAndDescribeTheirImage)
{
    const QString cue = makeDisc(QStringLiteral("Sampler"), DiscFixture::audioDisc({75}));
    const QString missing = path(QStringLiteral("later.toc"));
    auto grabber = grabberFor({cue, missing});
    const int count = grabber->DeviceCount();
    ASSERT_GE(count, 2);

    const DriveDescription image = grabber->describeDrive(count - 1);
    EXPECT_EQ(image.tag, cue);
    EXPECT_EQ(image.text1, QStringLiteral("Disc Image"));
    EXPECT_EQ(image.text2, QStringLiteral("Sampler.cue"));
    EXPECT_EQ(image.text3, QStringLiteral("CUE"));
    EXPECT_EQ(grabber->describeDrive(count).text3, QStringLiteral("TOC"));

    // describeDrive leaves the current drive alone; CurrentDevice moves it.
    EXPECT_EQ(grabber->currentDevice(), count);
    EXPECT_EQ(grabber->DeviceTag(), missing);
    grabber->CurrentDevice(count - 1);
    EXPECT_EQ(grabber->DeviceTag(), cue);
    EXPECT_EQ(grabber->DeviceText2(), QStringLiteral("Sampler.cue"));

    EXPECT_THROW(grabber->CurrentDevice(0), ComponentError);
    EXPECT_THROW(grabber->CurrentDevice(count + 1), ComponentError);
    EXPECT_THROW(grabber->describeDrive(count + 1), ComponentError);
    EXPECT_EQ(grabber->currentDevice(), count - 1);
}

// A path given as a drive: a device (a block device, or a link to one) is a hardware drive,
// listed once; anything else an image drive, empty while nothing is there.
TEST_F(GrabberDisc, ADevicePathIsAHardwareDriveAndAnyOtherPathAnImage)
{
    QString device;
    for (const QString& name : QDir(QStringLiteral("/dev")).entryList(QDir::System)) {
        const QString candidate = QStringLiteral("/dev/") + name;
        struct stat status
        {
        };
        if (::stat(QFile::encodeName(candidate).constData(), &status) == 0 &&
            S_ISBLK(status.st_mode) && (device.isEmpty() || name.startsWith(u"loop")))
            device = candidate;
    }
    if (device.isEmpty())
        GTEST_SKIP() << "this machine has no block device";
    auto grabber = grabberFor({path(QStringLiteral("first.cue"))});
    const int found = grabber->DeviceCount();
    const int hardware = grabber->addDrive(device);
    EXPECT_EQ(hardware, found + 1);
    EXPECT_EQ(grabber->describeDrive(hardware).tag, device);
    EXPECT_NE(grabber->describeDrive(hardware).text1, QStringLiteral("Disc Image"));
    ASSERT_TRUE(QFile::link(device, path(QStringLiteral("cdrom"))));
    EXPECT_EQ(grabber->addDrive(path(QStringLiteral("cdrom"))), hardware);

    const int image =
        grabber->addDrive(makeDisc(QStringLiteral("disc"), DiscFixture::audioDisc({75})));
    EXPECT_EQ(grabber->describeDrive(image).text1, QStringLiteral("Disc Image"));
    EXPECT_EQ(grabber->driveState(image), DriveState::AudioDisc);
    const int later = grabber->addDrive(path(QStringLiteral("later.cue")));
    EXPECT_EQ(grabber->describeDrive(later).text3, QStringLiteral("CUE"));
    EXPECT_EQ(grabber->driveState(later), DriveState::Empty);
}

TEST_F(GrabberDisc, DriveStatesTellEmptyAudioAndDataDiscs)
{
    DiscFixture::DiscLayout enhanced = DiscFixture::audioDisc({75, 75});
    enhanced.dataTrackSectors = 300;
    DiscFixture::DiscLayout dataOnly;
    dataOnly.dataTrackSectors = 300;
    const QString iso = path(QStringLiteral("data.iso"));
    writeAll(iso, QByteArray(2048 * 32, '\0'));
    auto grabber = grabberFor({path(QStringLiteral("nothing.cue")),
                               makeDisc(QStringLiteral("audio"), DiscFixture::audioDisc({75})),
                               makeDisc(QStringLiteral("enhanced"), enhanced),
                               makeDisc(QStringLiteral("data"), dataOnly), iso});
    const int first = grabber->DeviceCount() - 4;
    EXPECT_EQ(grabber->driveState(first), DriveState::Empty);
    EXPECT_EQ(grabber->driveState(first + 1), DriveState::AudioDisc);
    EXPECT_EQ(grabber->driveState(first + 2), DriveState::AudioDisc);
    EXPECT_EQ(grabber->driveState(first + 3), DriveState::DataDisc);
    EXPECT_EQ(grabber->driveState(first + 4), DriveState::DataDisc);
}

TEST_F(GrabberDisc, TrackLengthsAreMinutesSecondsAndFrames)
{
    const std::vector<int> lengths{sectorsOf(4, 35, 12), sectorsOf(0, 4, 0), sectorsOf(1, 5, 74)};
    auto grabber = grabberFor({makeDisc(QStringLiteral("disc"), DiscFixture::audioDisc(lengths))});
    grabber->ReadDisc();
    ASSERT_EQ(grabber->TrackCount(), 3);
    grabber->CurrentTrack(0);
    EXPECT_EQ(grabber->TrackLength1(), 4);
    EXPECT_EQ(grabber->TrackLength2(), 35);
    EXPECT_EQ(grabber->TrackLength3(), 12);
    EXPECT_EQ(trackLengths(*grabber), lengths);
    EXPECT_THROW(grabber->CurrentTrack(3), ComponentError);
    EXPECT_THROW(grabber->CurrentTrack(-1), ComponentError);
}

TEST_F(GrabberDisc, CdTextIsConvertedFromLatin1AndFilledInFromTheDisc)
{
    DiscFixture::DiscLayout layout = DiscFixture::audioDisc({75, 75, 75});
    layout.album = "Café Müller";
    layout.performer = "Ensemble Ærø";
    layout.genre = "Klänge";
    layout.tracks[0] = {75, "Größe", "Zoë Señor"};
    layout.tracks[1] = {75, "Ça va", ""};
    auto grabber = grabberFor({makeDisc(QStringLiteral("text"), layout)});
    grabber->ReadDisc();

    grabber->CurrentTrack(0);
    EXPECT_EQ(grabber->TrackTitle(), QStringLiteral("Größe"));
    EXPECT_EQ(grabber->TrackArtist(), QStringLiteral("Zoë Señor"));
    EXPECT_EQ(grabber->TrackAlbum(), QStringLiteral("Café Müller"));
    EXPECT_EQ(grabber->TrackGenre(), QStringLiteral("Klänge"));
    EXPECT_EQ(grabber->TrackYear(), QString());
    grabber->CurrentTrack(1);
    EXPECT_EQ(grabber->TrackTitle(), QStringLiteral("Ça va"));
    EXPECT_EQ(grabber->TrackArtist(), QStringLiteral("Ensemble Ærø"));
    grabber->CurrentTrack(2);
    EXPECT_EQ(grabber->TrackTitle(), QStringLiteral("Session1 Track3"));
    EXPECT_EQ(grabber->TrackAlbum(), QStringLiteral("Café Müller"));
}

TEST_F(GrabberDisc, ADiscWithoutTextsGivesPlaceholderTitlesAndEmptyTexts)
{
    auto grabber =
        grabberFor({makeDisc(QStringLiteral("plain"), DiscFixture::audioDisc({75, 75}))});
    grabber->ReadDisc();
    for (int i = 0; i < 2; ++i) {
        grabber->CurrentTrack(i);
        EXPECT_EQ(grabber->TrackTitle(), QStringLiteral("Session1 Track%1").arg(i + 1));
        EXPECT_TRUE(grabber->TrackArtist().isEmpty());
        EXPECT_TRUE(grabber->TrackAlbum().isEmpty());
        EXPECT_TRUE(grabber->TrackGenre().isEmpty());
        EXPECT_TRUE(grabber->TrackYear().isEmpty());
    }
}

TEST_F(GrabberDisc, ALoadedEntryTakesPrecedenceUntilTheDriveChanges)
{
    DiscFixture::DiscLayout layout = DiscFixture::audioDisc({75, 75});
    layout.tracks[0].title = "From CD-Text";
    const QString cue = makeDisc(QStringLiteral("disc"), layout);
    auto grabber = grabberFor({cue, cue});
    grabber->ReadDisc();
    grabber->setLoadedEntry(
        {{QStringLiteral("From CDDB"), QStringLiteral("Artist"), QStringLiteral("Album"),
          QStringLiteral("Rock"), QStringLiteral("1999"), QStringLiteral("Artist")}});
    grabber->ReadDisc();
    grabber->CurrentTrack(0);
    EXPECT_EQ(grabber->TrackTitle(), QStringLiteral("From CDDB"));
    EXPECT_EQ(grabber->TrackYear(), QStringLiteral("1999"));
    grabber->CurrentTrack(1);
    EXPECT_EQ(grabber->TrackTitle(), QStringLiteral("Session1 Track2"));

    grabber->CurrentDevice(grabber->DeviceCount() - 1);
    grabber->ReadDisc();
    grabber->CurrentTrack(0);
    EXPECT_EQ(grabber->TrackTitle(), QStringLiteral("From CD-Text"));
}

TEST_F(GrabberDisc, AnEnhancedCdOffersOnlyItsAudioTracks)
{
    DiscFixture::DiscLayout layout = DiscFixture::audioDisc({300, 450});
    layout.dataTrackSectors = 600;
    auto grabber = grabberFor({makeDisc(QStringLiteral("enhanced"), layout)});
    grabber->ReadDisc();
    EXPECT_EQ(trackLengths(*grabber), (std::vector<int>{300, 450}));
    EXPECT_EQ(grabber->discToc().tracks.size(), 3);
}

TEST_F(GrabberDisc, DataOnlyDiscsAndEmptyDrivesHaveNoTracks)
{
    DiscFixture::DiscLayout dataOnly;
    dataOnly.dataTrackSectors = 300;
    auto grabber = grabberFor(
        {makeDisc(QStringLiteral("data"), dataOnly), path(QStringLiteral("nothing.cue"))});
    grabber->ReadDisc();
    EXPECT_EQ(grabber->TrackCount(), 0);
    EXPECT_THROW(grabber->GrabToFile(path(QStringLiteral("x.wav"))), ComponentError);
    EXPECT_THROW(grabber->BeginRead(), ComponentError);

    grabber->CurrentDevice(grabber->DeviceCount() - 1);
    grabber->ReadDisc();
    EXPECT_EQ(grabber->TrackCount(), 0);
    EXPECT_EQ(grabber->TrackTitle(), QString());
}

TEST_F(GrabberDisc, ImagesThatAreNotDiscsFailWithAClearError)
{
    DiscFixture::DiscLayout missingBin = DiscFixture::audioDisc({75});
    missingBin.missingBin = true;
    DiscFixture::DiscLayout notACue = DiscFixture::audioDisc({75});
    notACue.notACue = true;
    const QString folder = path(QStringLiteral("folder.cue"));
    QDir().mkpath(folder);
    auto grabber = grabberFor({makeDisc(QStringLiteral("lonely"), missingBin),
                               makeDisc(QStringLiteral("list"), notACue), folder});
    const int first = grabber->DeviceCount() - 2;

    const auto readDiscError = [&](int drive) {
        grabber->CurrentDevice(drive);
        try {
            grabber->ReadDisc();
        } catch (const ComponentError& error) {
            return error.message();
        }
        return QStringLiteral("no error");
    };
    const QString noBin = readDiscError(first);
    EXPECT_TRUE(noBin.contains(path(QStringLiteral("lonely.cue")))) << noBin.toStdString();
    EXPECT_TRUE(noBin.contains(QStringLiteral("lonely.bin"))) << noBin.toStdString();
    EXPECT_TRUE(readDiscError(first + 1).contains(path(QStringLiteral("list.cue"))));
    EXPECT_TRUE(readDiscError(first + 2).contains(folder));
    EXPECT_EQ(grabber->TrackCount(), 0);
    EXPECT_EQ(grabber->driveState(first + 1), DriveState::Empty);
}

TEST_F(GrabberDisc, ADiscChangeIsRaisedWhenTheImageAppearsIsReplacedAndDisappears)
{
    const QString cue = path(QStringLiteral("changing.cue"));
    auto grabber = grabberFor({cue});
    QSignalSpy changes(grabber.get(), &IAudioCDGrabber2::OnMediaChange);

    makeDisc(QStringLiteral("changing"), DiscFixture::audioDisc({75}));
    ASSERT_TRUE(changes.wait(3000));
    grabber->ReadDisc();
    EXPECT_EQ(grabber->TrackCount(), 1);

    makeDisc(QStringLiteral("changing"), DiscFixture::audioDisc({75, 75, 75}));
    ASSERT_TRUE(changes.wait(3000));
    grabber->ReadDisc();
    EXPECT_EQ(grabber->TrackCount(), 3);

    QFile::remove(cue);
    ASSERT_TRUE(changes.wait(3000));
    QTest::qWait(1200); // one more look finds nothing new
    EXPECT_EQ(changes.size(), 3);
    grabber->ReadDisc();
    EXPECT_EQ(grabber->TrackCount(), 0);
}

} // namespace
