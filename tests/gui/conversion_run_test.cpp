#include "gui/DirDialog.h"
#include "gui/MainWindowTestSupport.h"
#include "gui/RunStatus.h"
#include "rip/RipEngine.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsKeys.h"
#include "support/LoopbackServer.h"
#include "support/MediaProbe.h"
#include "support/ScriptedGrabber.h"
#include "support/TestSignal.h"
#include "support/WavAudioFile.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDirIterator>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QUrl>

namespace {

// Runs of the main window, end to end: a disc image in an image drive, the real grabber,
// encoders and tag writers; the files checked by ffprobe and ffmpeg.
class ConversionRunTest : public MainWindowTest
{
protected:
    QString out() const { return path(QStringLiteral("out")); }

    void setSetting(const char* section, const char* key, int value)
    {
        SettingsFile(path(QStringLiteral("settings.ini")))
            .writeInteger(QLatin1StringView(section), QLatin1StringView(key), value);
    }

    // Two tracks with texts; the year as the tag editor would set it.
    std::unique_ptr<Tfm_main> startedOnDisc(std::vector<int> seconds = {2, 1})
    {
        DiscFixture::DiscLayout disc;
        // Tones, which a lossy file keeps in shape, rather than the fixture's noise.
        disc.audio = [](int, std::int64_t firstFrame, std::span<std::int16_t> samples) {
            const std::vector<std::int16_t> tones =
                cdTestSignal(static_cast<int>(samples.size() / 2), static_cast<int>(firstFrame));
            std::copy(tones.begin(), tones.end(), samples.begin());
        };
        disc.album = "Live: Bootleg";
        disc.performer = "Art/Pop";
        disc.genre = "Rock";
        const char* titles[] = {"Intro. Part One", "Café Müller", "Coda", "Encore"};
        for (std::size_t i = 0; i < seconds.size(); ++i)
            disc.tracks.push_back({seconds[i] * SectorsPerSecond, titles[i], {}});
        auto main = window({makeDisc(QStringLiteral("disc"), disc)});
        main->FormShow();
        for (int row = 0; row < main->trackModel().rowCount(); ++row)
            editRecord(*main, row,
                       [](CDFreedinfo& record) { record.Year = QStringLiteral("1999"); });
        return main;
    }

    // The disc's audio of a track of that many seconds.
    static std::vector<std::int16_t> discAudio(int seconds)
    {
        return cdTestSignal(seconds * SectorsPerSecond * DiscFixture::FramesPerSector);
    }

    static void expectTags(const QString& file, const QString& title, const QString& track)
    {
        const MediaProbe::TagList tags = MediaProbe::tags(file);
        EXPECT_EQ(MediaProbe::tag(tags, QStringLiteral("title")), title) << file.toStdString();
        EXPECT_EQ(MediaProbe::tag(tags, QStringLiteral("artist")), QStringLiteral("Art/Pop"));
        EXPECT_EQ(MediaProbe::tag(tags, QStringLiteral("album")), QStringLiteral("Live: Bootleg"));
        EXPECT_EQ(MediaProbe::tag(tags, QStringLiteral("genre")), QStringLiteral("Rock"));
        const QString year = MediaProbe::tag(tags, QStringLiteral("date")).isNull()
                                 ? MediaProbe::tag(tags, QStringLiteral("WM/Year"))
                                 : MediaProbe::tag(tags, QStringLiteral("date"));
        EXPECT_EQ(year, QStringLiteral("1999")) << file.toStdString();
        const QString number = MediaProbe::tag(tags, QStringLiteral("track")).isNull()
                                   ? MediaProbe::tag(tags, QStringLiteral("TrackNumber"))
                                   : MediaProbe::tag(tags, QStringLiteral("track"));
        EXPECT_EQ(number, track) << file.toStdString();
    }
};

TEST_F(ConversionRunTest, WmaFilesInEveryFolderSchemeWithTagsAndTheDiscsAudio)
{
    auto main = startedOnDisc();
    const QStringList folders{QString(), QStringLiteral("ArtPop/"), QStringLiteral("Live Bootleg/"),
                              QStringLiteral("ArtPop/Live Bootleg/")};
    for (int scheme = 0; scheme < 4; ++scheme) {
        main->setOutputScheme(scheme);
        main->Skin1Click(QStringLiteral("converter"));
        EXPECT_FALSE(main->converting());
        const QString folder = out() + u'/' + folders[scheme];
        for (const QString& name :
             {QStringLiteral("Intro. Part One.wma"), QStringLiteral("Café Müller.wma")})
            EXPECT_TRUE(QFileInfo::exists(folder + name)) << QString(folder + name).toStdString();
        // The folder of the last track opens.
        EXPECT_EQ(QUrl::fromUserInput(opened(scheme + 1).value(scheme)).toLocalFile(),
                  QDir::cleanPath(folder) +
                      (scheme == 0 ? QStringLiteral("/") : QStringLiteral("/")))
            << opened(scheme + 1).value(scheme).toStdString();
    }
    const QString second = out() + QStringLiteral("/Café Müller.wma");
    const auto info = MediaProbe::probe(second);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->codecName, QStringLiteral("wmav2"));
    EXPECT_NEAR(info->duration, 1.0, 0.1);
    expectTags(second, QStringLiteral("Café Müller"), QStringLiteral("2"));
    expectTags(out() + QStringLiteral("/Intro. Part One.wma"), QStringLiteral("Intro. Part One"),
               QStringLiteral("1"));
    const std::vector<std::int16_t> reference =
        MediaProbe::convertCdAudio(discAudio(1), info->sampleRate, info->channels);
    EXPECT_GT(MediaProbe::similarity(reference, MediaProbe::decode(second), info->channels, 4096),
              0.99);
    for (int row = 0; row < 2; ++row)
        EXPECT_EQ(main->trackModel().text(row, 4), QStringLiteral("Finish"));
}

TEST_F(ConversionRunTest, StoredWmaFormatsAndTheOtherFormats)
{
    auto main = startedOnDisc({1});
    // The stored format is read for every run: mono 22 kHz, then 48 kHz.
    for (const auto& [stored, rate, channels] :
         {std::tuple{25, 22050, 1}, std::tuple{39, 48000, 2}}) {
        setSetting("wma", "format", stored);
        SettingsFile(path(QStringLiteral("settings.ini")))
            .writeString(QStringLiteral("Main"), QStringLiteral("Path"),
                         out() + QString::number(stored));
        main->Skin1Click(QStringLiteral("converter"));
        const auto info = MediaProbe::probe(out() + QString::number(stored) +
                                            QStringLiteral("/Intro. Part One.wma"));
        ASSERT_TRUE(info);
        EXPECT_EQ(info->sampleRate, rate);
        EXPECT_EQ(info->channels, channels);
    }
    SettingsFile(path(QStringLiteral("settings.ini")))
        .writeString(QStringLiteral("Main"), QStringLiteral("Path"), out());
    for (const char* item : {"oMP31", "oOgg1", "oWAV1", "oOpus1", "oAAC1"})
        main->popupMenu(1)->findChild<QAction*>(QLatin1StringView(item))->trigger();
    EXPECT_EQ(
        filesBelow(out()),
        (QStringList{QStringLiteral("Intro. Part One.m4a"), QStringLiteral("Intro. Part One.mp3"),
                     QStringLiteral("Intro. Part One.ogg"), QStringLiteral("Intro. Part One.opus"),
                     QStringLiteral("Intro. Part One.wav")}));
    for (const auto& [ext, codec] : {std::pair{".opus", "opus"}, std::pair{".m4a", "aac"}}) {
        const auto info =
            MediaProbe::probe(out() + QStringLiteral("/Intro. Part One") + QLatin1StringView(ext));
        ASSERT_TRUE(info) << ext;
        EXPECT_EQ(info->codecName, QLatin1StringView(codec));
    }
    // MP3 gives the track total with the number (the disc has one track); Ogg has a field of
    // its own for it.
    for (const auto& [ext, track] : {std::pair{".mp3", "1/1"}, std::pair{".ogg", "1"}})
        expectTags(out() + QStringLiteral("/Intro. Part One") + QLatin1StringView(ext),
                   QStringLiteral("Intro. Part One"), QLatin1StringView(track));
    // WAV holds the disc's samples bit for bit.
    const std::vector<std::int16_t> wav =
        MediaProbe::decode(out() + QStringLiteral("/Intro. Part One.wav"));
    EXPECT_EQ(wav, discAudio(1));
}

TEST_F(ConversionRunTest, ToFlacWithTestAndCopyWritesTheLogAndCueSheetWhenAsked)
{
    auto main = startedOnDisc({2, 1});
    setSetting("Main", "Log", 1);
    setSetting("Main", "TestCopy", 1);
    main->popupMenu(1)->findChild<QAction*>(QStringLiteral("oFLAC1"))->trigger();
    EXPECT_EQ(
        filesBelow(out()),
        (QStringList{QStringLiteral("Café Müller.flac"), QStringLiteral("Intro. Part One.flac"),
                     QStringLiteral("Live Bootleg.cue"), QStringLiteral("Live Bootleg.log")}));
    EXPECT_EQ(MediaProbe::decode(out() + QStringLiteral("/Café Müller.flac")), discAudio(1));
    expectTags(out() + QStringLiteral("/Café Müller.flac"), QStringLiteral("Café Müller"),
               QStringLiteral("2"));
    const QString log = QString::fromUtf8(readAll(out() + QStringLiteral("/Live Bootleg.log")));
    EXPECT_EQ(log.count(QStringLiteral("Result: Test and copy OK")), 2) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("the rip completed."))) << log.toStdString();
    const QString cue = QString::fromUtf8(readAll(out() + QStringLiteral("/Live Bootleg.cue")));
    EXPECT_TRUE(
        cue.contains(QStringLiteral("FILE \"Intro. Part One.flac\" WAVE\r\n  TRACK 01 AUDIO")))
        << cue.toStdString();
    EXPECT_TRUE(cue.contains(QStringLiteral("FILE \"Café Müller.flac\" WAVE\r\n  TRACK 02 AUDIO")));

    // Turned off, a run writes the audio files alone.
    setSetting("Main", "Log", 0);
    main->popupMenu(1)->findChild<QAction*>(QStringLiteral("oFLAC1"))->trigger();
    EXPECT_EQ(filesBelow(out()).size(), 6);
}

TEST_F(ConversionRunTest, SecondRunIsNumberedAndUncheckedRowsAreSkipped)
{
    auto main = startedOnDisc({1, 1, 1});
    main->trackModel().setChecked(1, false);
    main->Skin1Click(QStringLiteral("converter"));
    const QStringList first = filesBelow(out());
    EXPECT_EQ(first,
              (QStringList{QStringLiteral("Coda.wma"), QStringLiteral("Intro. Part One.wma")}));
    const QByteArray before = readAll(out() + QStringLiteral("/Coda.wma"));
    EXPECT_EQ(main->trackModel().text(1, 4), QStringLiteral("Unconverter"));

    main->Skin1Click(QStringLiteral("converter"));
    EXPECT_EQ(filesBelow(out()),
              (QStringList{QStringLiteral("Coda.wma"), QStringLiteral("Coda_01.wma"),
                           QStringLiteral("Intro. Part One.wma"),
                           QStringLiteral("Intro. Part One_01.wma")}));
    EXPECT_EQ(readAll(out() + QStringLiteral("/Coda.wma")), before);

    // Nothing checked: nothing made, the output folder itself opens.
    main->popupMenu(2)->findChild<QAction*>(QStringLiteral("UnselectAll1"))->trigger();
    main->Skin1Click(QStringLiteral("converter"));
    EXPECT_EQ(filesBelow(out()).size(), 4);
    EXPECT_EQ(QDir::cleanPath(opened(3).value(2)), out());
}

TEST_F(ConversionRunTest, StopMidwayKeepsTheTrackClosedAndTagged)
{
    auto main = startedOnDisc({120, 2});
    QObject::connect(&main->grabber(), &IAudioCDGrabber2::OnOperationProgress, main.get(),
                     [&main](double percent) {
                         // The user presses Stop rip once the first track is under way; a
                         // second run meanwhile is refused.
                         if (percent > 5 && main->converting()) {
                             main->Skin1Click(QStringLiteral("converter"));
                             main->Skin1Click(QStringLiteral("stopconverter"));
                         }
                     });
    main->Skin1Click(QStringLiteral("converter"));
    EXPECT_FALSE(main->converting());
    EXPECT_EQ(filesBelow(out()), QStringList{QStringLiteral("Intro. Part One.wma")});
    const QString file = out() + QStringLiteral("/Intro. Part One.wma");
    const auto info = MediaProbe::probe(file);
    ASSERT_TRUE(info);
    EXPECT_GT(info->duration, 1.0);
    EXPECT_LT(info->duration, 119.0);
    expectTags(file, QStringLiteral("Intro. Part One"), QStringLiteral("1"));
    EXPECT_NE(main->trackModel().text(0, 4), QStringLiteral("Finish"));
    EXPECT_EQ(main->trackModel().text(1, 4), QStringLiteral("Unconverter"));
    EXPECT_EQ(main->skin()->GetObjectByName(main.get(), QStringLiteral("pb"))->GetRect().width(),
              0);
    EXPECT_EQ(opened().size(), 1);
}

// Closing the window during a run (File > Exit, the close box, the exception handler's close) ends
// the run first: its track is kept closed and tagged, its log written, the settings written and
// released only once the run has unwound, and no folder opens.
TEST_F(ConversionRunTest, ClosingDuringARunEndsItAsAStopDoes)
{
    auto main = startedOnDisc({120, 2});
    setSetting("Main", "Log", 1);
    main->setOutputScheme(2);
    QObject::connect(
        &main->grabber(), &IAudioCDGrabber2::OnOperationProgress, main.get(),
        [&main](double percent) {
            if (percent > 5 && !main->isHidden())
                main->popupMenu(1)->findChild<QAction*>(QStringLiteral("Exit1"))->trigger();
        });
    main->show();
    main->Skin1Click(QStringLiteral("converter"));
    EXPECT_FALSE(main->isVisible());
    EXPECT_FALSE(main->converting());
    const QString folder = out() + QStringLiteral("/Live Bootleg");
    EXPECT_EQ(filesBelow(folder), (QStringList{QStringLiteral("Intro. Part One.wma"),
                                               QStringLiteral("Live Bootleg.cue"),
                                               QStringLiteral("Live Bootleg.log")}));
    const auto info = MediaProbe::probe(folder + QStringLiteral("/Intro. Part One.wma"));
    ASSERT_TRUE(info);
    EXPECT_LT(info->duration, 119.0);
    expectTags(folder + QStringLiteral("/Intro. Part One.wma"), QStringLiteral("Intro. Part One"),
               QStringLiteral("1"));
    const QString log = QString::fromUtf8(readAll(folder + QStringLiteral("/Live Bootleg.log")));
    EXPECT_TRUE(log.contains(QStringLiteral("the rip was interrupted"))) << log.toStdString();
    // The stopped track's entry says so, with the peak and CRC of what was read.
    EXPECT_TRUE(log.contains(QStringLiteral("Result: Stopped: the file holds the audio read")));
    EXPECT_FALSE(log.contains(QStringLiteral("Peak level: 0.0 %")));
    EXPECT_FALSE(log.contains(QStringLiteral("Copy CRC: 00000000")));
    EXPECT_TRUE(opened(0).isEmpty());
    EXPECT_EQ(SettingsFile(path(QStringLiteral("settings.ini"))).read(Keys::Main::Output), 2);
}

// The window and tunecrest-rip drive one engine: for the same disc and settings their rip logs
// differ only in the program, the date and the output folder.
TEST_F(ConversionRunTest, TheWindowsRipLogIsTheTerminalRippersLog)
{
    auto main = startedOnDisc({2, 1});
    setSetting("Main", "Log", 1);
    main->popupMenu(1)->findChild<QAction*>(QStringLiteral("oFLAC1"))->trigger();
    const QString windowLog =
        QString::fromUtf8(readAll(out() + QStringLiteral("/Live Bootleg.log")));

    // The terminal ripper reads the same settings file and the same disc image.
    QDir(root()).mkpath(QStringLiteral("cfg"));
    QFile::copy(path(QStringLiteral("settings.ini")),
                path(QStringLiteral("cfg/LumRipwellconverter.ini")));
    QProcess rip;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("cfg")));
    rip.setProcessEnvironment(environment);
    rip.start(qEnvironmentVariable("TUNECREST_TEST_BIN") + QStringLiteral("/src/tunecrest-rip"),
              {QStringLiteral("-d"), path(QStringLiteral("disc.cue")), QStringLiteral("-f"),
               QStringLiteral("flac"), QStringLiteral("-j"), QStringLiteral("1"),
               QStringLiteral("-o"), path(QStringLiteral("terminal")), QStringLiteral("-q")});
    ASSERT_TRUE(rip.waitForFinished(60000));
    ASSERT_EQ(rip.exitCode(), 0) << rip.readAllStandardError().toStdString();
    const QString terminalLog =
        QString::fromUtf8(readAll(path(QStringLiteral("terminal/Live Bootleg.log"))));

    const auto comparable = [](QString log, const QString& folder) {
        QStringList lines = log.remove(folder + u'/').split(u'\n');
        return lines.mid(2); // the program with its version, and the date
    };
    EXPECT_EQ(comparable(windowLog, out()),
              comparable(terminalLog, path(QStringLiteral("terminal"))));
    EXPECT_TRUE(windowLog.contains(QStringLiteral("Disc id: "))) << windowLog.toStdString();
}

TEST_F(ConversionRunTest, RefusedWhilePlayingThenRunsTheSameRows)
{
    auto main = startedOnDisc({1});
    main->setPlaying(true);
    main->Skin1Click(QStringLiteral("converter"));
    EXPECT_EQ(m_shown, QStringList{QStringLiteral("Please stop playing first.")});
    EXPECT_TRUE(filesBelow(out()).isEmpty());
    main->setPlaying(false);
    main->Skin1Click(QStringLiteral("converter"));
    EXPECT_EQ(filesBelow(out()), QStringList{QStringLiteral("Intro. Part One.wma")});
}

TEST_F(ConversionRunTest, StatusCellsAndBarFollowTheProgress)
{
    auto grabber =
        std::make_unique<ScriptedGrabber>(std::make_unique<WavAudioFile>(), std::vector<int>{75});
    grabber->progressSteps = {12.3456, 5.5, 45.678, 7};
    ScriptedGrabber& scripted = *grabber;
    auto main = windowOver(std::move(grabber));
    main->FormShow();
    ISkinObject* bar = main->skin()->GetObjectByName(main.get(), QStringLiteral("pb"));
    QStringList statuses;
    QList<int> widths;
    QStringList lines;
    QObject::connect(&scripted, &IAudioCDGrabber2::OnOperationProgress, main.get(), [&] {
        statuses << main->trackModel().text(0, 4);
        widths << bar->GetRect().width();
        lines << main->runStatusText();
    });
    EXPECT_EQ(main->runStatusText(), QString());
    main->popupMenu(1)->findChild<QAction*>(QStringLiteral("oWAV1"))->trigger();
    // The line below the list says how far the run is, then how it ended. (Seen here before
    // each step is shown.)
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], QStringLiteral("Ripping track 1 of 1, 0% done"));
    EXPECT_EQ(lines[3], QStringLiteral("Ripping track 1 of 1, 45% done"));
    EXPECT_EQ(main->runStatusText(), QStringLiteral("1 of 1 tracks ripped"));
    EXPECT_EQ(statuses, (QStringList{QStringLiteral("12.34%"), QStringLiteral("05.5%"),
                                     QStringLiteral("45.67%"), QStringLiteral("07%"),
                                     QStringLiteral("Finish")}));
    EXPECT_EQ(widths, (QList<int>{70, 29, 263, 41, 0}));
    ASSERT_EQ(scripted.grabbed.size(), 1);
}

TEST_F(ConversionRunTest, FailedGrabAndUnusableFolderReachTheHandler)
{
    // A BIN cut inside the second track, read with the error action Stop.
    DiscFixture::DiscLayout disc = DiscFixture::audioDisc({75, 150, 75});
    disc.binBytes = (75 + 30) * std::int64_t(DiscFixture::SectorBytes);
    auto main = window({makeDisc(QStringLiteral("damaged"), disc)});
    main->FormShow();
    EXPECT_THROW(main->Skin1Click(QStringLiteral("converter")), std::exception);
    // The earlier track is whole; nothing else is left; the guards hold until Stop.
    EXPECT_EQ(filesBelow(out()), QStringList{QStringLiteral("Track01.wma")});
    EXPECT_NEAR(MediaProbe::probe(out() + QStringLiteral("/Track01.wma"))->duration, 1.0, 0.1);
    EXPECT_TRUE(main->converting());
    EXPECT_TRUE(main->runStatusText().startsWith(QStringLiteral("1 of 3 ripped, track 2 failed: ")))
        << main->runStatusText().toStdString();
    main->Skin1Click(QStringLiteral("stopconverter"));
    EXPECT_FALSE(main->converting());

    // An output folder that cannot be made or written: checked before the first read, the
    // real reason said in a box, no run started, nothing written.
    const QByteArray before = readAll(out() + QStringLiteral("/Track01.wma"));
    writeAll(path(QStringLiteral("plain")), "user's file");
    QDir().mkpath(path(QStringLiteral("locked")));
    ::chmod(QFile::encodeName(path(QStringLiteral("locked"))).constData(), 0555);
    for (const auto& [folder, reason] :
         {std::pair{"plain/sub", "Cannot create the output folder %1: Not a directory"},
          std::pair{"missing/sub", "Cannot create the output folder %1: No such file or directory"},
          std::pair{"locked", "Cannot write to the output folder %1: Permission denied"}}) {
        const QString stored = path(QLatin1StringView(folder));
        SettingsFile(path(QStringLiteral("settings.ini")))
            .writeString(QStringLiteral("Main"), QStringLiteral("Path"), stored);
        m_shown.clear();
        main->Skin1Click(QStringLiteral("converter"));
        EXPECT_EQ(m_shown, QStringList{QString::fromLatin1(reason).arg(stored)});
        EXPECT_FALSE(main->converting());
    }
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("missing"))));
    EXPECT_TRUE(filesBelow(path(QStringLiteral("locked"))).isEmpty());
    ::chmod(QFile::encodeName(path(QStringLiteral("locked"))).constData(), 0755);
    EXPECT_EQ(readAll(path(QStringLiteral("plain"))), QByteArray("user's file"));
    EXPECT_EQ(readAll(out() + QStringLiteral("/Track01.wma")), before);
    SettingsFile(path(QStringLiteral("settings.ini")))
        .writeString(QStringLiteral("Main"), QStringLiteral("Path"), out());

    // Raised from a click on the skin, the error reaches the exception handler: a WMA run asks
    // first about the encoder.
    main->show();
    m_shown.clear();
    ISkinObject* rip = main->skin()->GetObjectByName(main.get(), QStringLiteral("converter"));
    ASSERT_NE(rip, nullptr);
    emit main->skin()->Click(rip);
    ASSERT_EQ(m_shown.size(), 2) << m_shown.join(u'|').toStdString();
    EXPECT_TRUE(m_shown[0].startsWith(QStringLiteral("This file can not be supported")));
    EXPECT_TRUE(m_shown[1].startsWith(QStringLiteral("A system error occurs")));
}

// The AccurateRip v1 checksum of a track's audio, reckoned here: each stereo frame weighted by
// its 1-based position, the first track's first five sectors and the last track's last five
// left out.
quint32 accurateRipV1(const std::vector<std::int16_t>& pcm, bool first, bool last)
{
    const auto frames = static_cast<qint64>(pcm.size() / 2);
    const qint64 from = first ? 5 * 588 : 1;
    const qint64 to = last ? frames - 5 * 588 : frames;
    quint32 sum = 0;
    for (qint64 m = from; m <= to; ++m)
        sum += static_cast<quint32>(m) *
               (static_cast<std::uint16_t>(pcm[static_cast<std::size_t>(2 * (m - 1))]) |
                static_cast<quint32>(
                    static_cast<std::uint16_t>(pcm[static_cast<std::size_t>(2 * m - 1)]))
                    << 16);
    return sum;
}

void appendLe32(QByteArray& bytes, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes.append(static_cast<char>(value >> (8 * i) & 0xff));
}

// A verified run of the window: the first track matches the database, the second does not and is
// read again; each row's status cell carries its verdict as tooltip after "Finish".
TEST_F(ConversionRunTest, AccurateRipVerdictsReachTheStatusTooltipsAndTheLog)
{
    const auto server =
        LoopbackServer::fromEnvironment("TUNECREST_AR_SERVER", "TUNECREST_AR_DIR", "AccurateRip",
                                        "scripts/ar-server.sh", "start_ar_server");
    if (!server)
        return;
    // Two tracks of 75 sectors: id1 = 0 + 75 + 150, id2 = 1 + 75 * 2 + 150 * 3, and the CDDB id
    // of start seconds 2 and 3 and 2 seconds of play.
    const QString name = QStringLiteral("dBAR-002-000000e1-00000259-05000202.bin");
    QByteArray file;
    file.append(char(2));
    for (quint32 id : {0xe1u, 0x259u, 0x05000202u})
        appendLe32(file, id);
    const quint32 sums[] = {accurateRipV1(discAudio(1), true, false),
                            accurateRipV1(discAudio(1), false, true) ^ 1};
    for (quint32 sum : sums) {
        file.append(char(5));
        appendLe32(file, sum);
        appendLe32(file, 0);
    }
    LoopbackServer::putFile(QDir(server->folder).filePath(name), file);

    auto main = startedOnDisc({1, 1});
    SettingsFile(path(QStringLiteral("settings.ini")))
        .writeString(QStringLiteral("AccurateRip"), QStringLiteral("server"), server->address);
    setSetting("AccurateRip", "enabled", 1);
    setSetting("Main", "Verify", 1);
    setSetting("Main", "Log", 1);
    main->popupMenu(1)->findChild<QAction*>(QStringLiteral("oFLAC1"))->trigger();

    TrackListModel& list = main->trackModel();
    EXPECT_EQ(main->runStatusText(), QStringLiteral("2 of 2 tracks ripped, 1 accurately"));
    EXPECT_EQ(list.text(0, 4), QStringLiteral("Finish"));
    EXPECT_EQ(list.statusToolTip(0),
              QStringLiteral("AccurateRip: Accurately ripped (confidence 5) with the v1 checksum"));
    EXPECT_EQ(list.statusToolTip(1),
              QStringLiteral("AccurateRip: Not accurately ripped (best confidence in the "
                             "database 5)"));
    const QString log = QString::fromUtf8(readAll(out() + QStringLiteral("/Live Bootleg.log")));
    EXPECT_TRUE(log.contains(QStringLiteral("Read: Burst, confirmed by AccurateRip\n")))
        << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Read: Burst, not confirmed by AccurateRip; read again "
                                            "in Paranoid mode")));
    EXPECT_TRUE(log.contains(QStringLiteral("1 pressing(s) in the database")));
    // The track read again is whole.
    EXPECT_EQ(MediaProbe::decode(out() + QStringLiteral("/Café Müller.flac")), discAudio(1));

    // "Check rip…" reads the files back: the lookup window's log says per track what the log
    // and the database say of them.
    main->checkRip(out() + QStringLiteral("/Live Bootleg.cue"));
    const QString checked = main->dirDialog()->findChild<QPlainTextEdit*>()->toPlainText();
    EXPECT_TRUE(checked.contains(QStringLiteral("Track 01: CRC ")) &&
                checked.contains(QStringLiteral(
                    ", equal to the log; AccurateRip: Accurately ripped (confidence 5)")))
        << checked.toStdString();
    EXPECT_TRUE(checked.contains(QStringLiteral("AccurateRip: Not accurately ripped")));
    EXPECT_TRUE(checked.endsWith(QStringLiteral("1 track(s) disagree or could not be read.")));
}

// The line's texts where the runs here do not reach: the time left, a disc the database does not
// hold, a stop, an error that ended the run before any track failed.
TEST(RunStatusText, TimeLeftAndOutcomes)
{
    EXPECT_EQ(durationText(3723.4), QStringLiteral("1:02:03"));
    EXPECT_EQ(runProgressText(1, RipProgress{1, 4, 37.9, 42}),
              QStringLiteral("Ripping track 2 of 4, 37% done, 0:42 left"));
    std::vector<RipTrack> tracks(2);
    for (RipTrack& track : tracks) {
        track.state = RipTrack::State::Done;
        track.record.accurateRip = QStringLiteral("Not present in the database");
    }
    EXPECT_EQ(runSummaryText(tracks, false, {}),
              QStringLiteral("2 of 2 tracks ripped, not in the AccurateRip database"));
    tracks[1].state = RipTrack::State::Waiting;
    EXPECT_EQ(runSummaryText(tracks, true, {}), QStringLiteral("Stopped: 1 of 2 tracks ripped"));
    EXPECT_EQ(runSummaryText(tracks, false, QStringLiteral("disk full")),
              QStringLiteral("1 of 2 ripped, the rip failed: disk full"));
}

// A stand-in for the desktop's notification service: records each summary and body.
class NotificationService final : public QDBusVirtualObject
{
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        const QVariantList args = message.arguments();
        if (message.member() != u"Notify" || args.size() != 8)
            return false;
        received << args[3].toString() + QStringLiteral(" | ") + args[4].toString();
        return connection.send(message.createReply(QVariant::fromValue(1u)));
    }
    QStringList received;
};

// A run that ends while the window is not active says so on the desktop; with no service on
// the bus the run ends all the same, without a word.
TEST_F(ConversionRunTest, TheEndOfARunIsNotifiedThroughTheDesktopsService)
{
    QProcess bus;
    bus.start(QStringLiteral("dbus-daemon"),
              {QStringLiteral("--session"), QStringLiteral("--nofork"),
               QStringLiteral("--print-address=1"),
               QStringLiteral("--address=unix:path=") + path(QStringLiteral("bus"))});
    ASSERT_TRUE(bus.waitForStarted())
        << "dbus-daemon is missing: install the dbus-daemon package (scripts/setup.sh)";
    ASSERT_TRUE(bus.waitForReadyRead(10000));
    const QString address = QString::fromUtf8(bus.readLine()).trimmed();
    EnvGuard session("DBUS_SESSION_BUS_ADDRESS");
    session.set(address.toUtf8());

    auto main = startedOnDisc({1});
    main->Skin1Click(QStringLiteral("converter"));
    EXPECT_EQ(main->runStatusText(), QStringLiteral("1 of 1 tracks ripped"));

    NotificationService service;
    QDBusConnection connection =
        QDBusConnection::connectToBus(address, QStringLiteral("notification-service"));
    ASSERT_TRUE(connection.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"),
                                                 &service));
    ASSERT_TRUE(connection.registerService(QStringLiteral("org.freedesktop.Notifications")));
    main->Skin1Click(QStringLiteral("converter"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !service.received.isEmpty(); }, 10000));
    EXPECT_EQ(service.received, QStringList{QStringLiteral("Rip finished | 1 of 1 tracks ripped")});
    EXPECT_TRUE(m_shown.isEmpty()) << m_shown.join(u'|').toStdString();

    QDBusConnection::disconnectFromBus(QStringLiteral("notification-service"));
    bus.terminate();
    bus.waitForFinished();
}

} // namespace
