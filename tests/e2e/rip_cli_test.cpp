#include "RipCliSupport.h"
#include "support/MediaProbe.h"

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <csignal>

namespace {

QString fromTagLib(const TagLib::String& text)
{
    return QString::fromUtf8(text.toCString(true));
}

TEST_F(RipCliTest, UsageErrorsExitTwo)
{
    for (const QStringList& args : {QStringList{QStringLiteral("--bogus")},
                                    QStringList{QStringLiteral("-f"), QStringLiteral("aiff")},
                                    QStringList{QStringLiteral("-t"), QStringLiteral("3-1")},
                                    QStringList{QStringLiteral("-j"), QStringLiteral("0")},
                                    QStringList{QStringLiteral("-o")}}) {
        const RunResult r = rip(args);
        EXPECT_EQ(r.code, 2) << args.join(u' ').toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("--help"))) << r.err.toStdString();
    }
    const RunResult help = rip({QStringLiteral("--help")});
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("--tracks LIST")));

    const QString cue = makeDisc(QStringLiteral("disc"));
    const RunResult beyond =
        rip({QStringLiteral("-t"), QStringLiteral("4"), QStringLiteral("-d"), cue});
    EXPECT_EQ(beyond.code, 2) << beyond.err.toStdString();
    EXPECT_TRUE(filesBelow(out()).isEmpty());

    // A path named with -d that does not exist is said to be so, not taken for an empty drive.
    const RunResult missing = rip(
        {QStringLiteral("--list"), QStringLiteral("-d"), path(QStringLiteral("no/such/disc.cue"))});
    EXPECT_EQ(missing.code, 2);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("no/such/disc.cue does not exist")))
        << missing.err.toStdString();
}

TEST_F(RipCliTest, NoDriveEmptyDriveOrNoAudioDiscExitThree)
{
    EXPECT_EQ(rip({QStringLiteral("-o"), out()}).code, 3);
    EXPECT_EQ(rip({QStringLiteral("-o"), out()}, path(QStringLiteral("absent.cue"))).code, 3);

    DiscFixture::DiscLayout data;
    data.dataTrackSectors = 300;
    DiscFixture::writeDisc(path(QStringLiteral("data.cue")).toStdString(), data);
    const RunResult r = rip({QStringLiteral("-o"), out()}, path(QStringLiteral("data.cue")));
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(r.err.contains(QStringLiteral("no audio disc"))) << r.err.toStdString();
}

TEST_F(RipCliTest, ListsDrivesAndTracks)
{
    const QString cue = makeDisc(QStringLiteral("disc"), {65, 1, 2});
    const RunResult r =
        rip({QStringLiteral("--list")}, path(QStringLiteral("none.cue")) + u':' + cue);
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("none.cue"))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral(" 1  01:05  Song 1  Art/Pop  Live: Bootleg")))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral(" 2  00:01  Café Müller  Art/Pop  Live: Bootleg")));
    EXPECT_TRUE(filesBelow(out()).isEmpty());
}

TEST_F(RipCliTest, EachFormatGivesTaggedFilesOfTheDiscsAudio)
{
    const QString cue = makeDisc(QStringLiteral("disc"));
    struct Case
    {
        const char* format;
        const char* container;
    };
    for (const Case c : {Case{"wma", "asf"}, Case{"mp3", "mp3"}, Case{"ogg", "ogg"},
                         Case{"wav", "wav"}, Case{"flac", "flac"}}) {
        const QString format = QLatin1StringView(c.format);
        const QString dest = path(QStringLiteral("out-") + format);
        const RunResult r =
            rip({QStringLiteral("-d"), cue, QStringLiteral("-f"), format, QStringLiteral("-t"),
                 QStringLiteral("1,2"), QStringLiteral("-o"), dest, QStringLiteral("--scheme"),
                 QStringLiteral("artist-album"), QStringLiteral("-j"), QStringLiteral("1")});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_EQ(filesBelow(dest),
                  (QStringList{QStringLiteral("ArtPop/Live Bootleg/Café Müller.") + format,
                               QStringLiteral("ArtPop/Live Bootleg/Song 1.") + format}));
        const QString second = dest + QStringLiteral("/ArtPop/Live Bootleg/Café Müller.") + format;
        const auto info = MediaProbe::probe(second);
        ASSERT_TRUE(info) << second.toStdString();
        EXPECT_EQ(info->formatName, QLatin1StringView(c.container));
        EXPECT_NEAR(info->duration, 1.0, 0.05) << c.format;
        EXPECT_TRUE(r.out.contains(QStringLiteral("Summary"))) << r.out.toStdString();

        if (format == u"wav" || format == u"flac") {
            // The disc's own samples, bit for bit.
            const std::vector<std::int16_t> pcm = MediaProbe::decode(second);
            ASSERT_EQ(pcm.size(), size_t(SectorsPerSecond * DiscFixture::FramesPerSector * 2));
            for (size_t i = 0; i < pcm.size(); ++i)
                ASSERT_EQ(pcm[i], DiscFixture::testSample(2, i / 2, i % 2)) << i;
        }
        if (format == u"wav")
            continue;
        TagLib::FileRef file(second.toLocal8Bit().constData());
        ASSERT_FALSE(file.isNull());
        EXPECT_EQ(fromTagLib(file.tag()->title()), QStringLiteral("Café Müller"));
        EXPECT_EQ(fromTagLib(file.tag()->artist()), QStringLiteral("Art/Pop"));
        EXPECT_EQ(fromTagLib(file.tag()->album()), QStringLiteral("Live: Bootleg"));
        EXPECT_EQ(fromTagLib(file.tag()->genre()), QStringLiteral("Rock"));
    }
}

// What users ask for beyond the formats of old: Opus and AAC, ReplayGain that an outside EBU R128
// meter confirms, file-name templates with sub-folders, and a playlist of the finished tracks.
TEST_F(RipCliTest, OpusAacReplayGainTemplatesAndThePlaylist)
{
    const QString cue = makeDisc(QStringLiteral("disc"), {2, 1, 2});
    writePlaylist = true;
    for (const auto& [format, codec] : {std::pair{"opus", "opus"}, std::pair{"aac", "aac"}}) {
        const QString dest = path(QLatin1StringView(format));
        const RunResult r =
            rip({QStringLiteral("-d"), cue, QStringLiteral("-f"), QLatin1StringView(format),
                 QStringLiteral("-t"), QStringLiteral("2"), QStringLiteral("-o"), dest,
                 QStringLiteral("--name"), QStringLiteral("%A/%N %T"), QStringLiteral("-q")});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        const QString file =
            dest + QStringLiteral("/ArtPop/02 Café Müller.") +
            (QLatin1StringView(format) == u"aac" ? QStringLiteral("m4a") : QStringLiteral("opus"));
        const auto info = MediaProbe::probe(file);
        ASSERT_TRUE(info) << filesBelow(dest).join(u' ').toStdString();
        EXPECT_EQ(info->codecName, QLatin1StringView(codec));
        EXPECT_NEAR(info->duration, 1.0, 0.1);
        EXPECT_EQ(readAll(dest + QStringLiteral("/ArtPop/Live Bootleg.m3u8")),
                  QByteArray("#EXTM3U\n#EXTINF:1,Art/Pop - Café Müller\n02 Café Müller.") +
                      file.section(u'.', -1).toUtf8() + '\n');
    }

    // ReplayGain: each track's gain and the album's agree with ffmpeg's meter within 0.1 dB.
    const QString dest = path(QStringLiteral("gain"));
    const RunResult r =
        rip({QStringLiteral("-d"), cue, QStringLiteral("-f"), QStringLiteral("flac"),
             QStringLiteral("-o"), dest, QStringLiteral("--replaygain"), QStringLiteral("--name"),
             QStringLiteral("%N"), QStringLiteral("-q")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    QStringList files;
    for (const char* name : {"01", "02", "03"})
        files << dest + u'/' + QLatin1StringView(name) + QStringLiteral(".flac");
    const auto gainOf = [](const QString& text) { return text.section(u' ', 0, 0).toDouble(); };
    for (const QString& file : files) {
        const auto measured = MediaProbe::loudness({file});
        ASSERT_TRUE(measured);
        const MediaProbe::TagList tags = MediaProbe::tags(file);
        EXPECT_NEAR(gainOf(MediaProbe::tag(tags, QStringLiteral("REPLAYGAIN_TRACK_GAIN"))),
                    -18.0 - measured->integrated, 0.1)
            << file.toStdString();
    }
    const auto album = MediaProbe::loudness(files);
    ASSERT_TRUE(album);
    for (const QString& file : files)
        EXPECT_NEAR(gainOf(MediaProbe::tag(MediaProbe::tags(file),
                                           QStringLiteral("REPLAYGAIN_ALBUM_GAIN"))),
                    -18.0 - album->integrated, 0.1);
}

TEST_F(RipCliTest, SecondRipIsNumberedAndSettingsFolderIsTheDefault)
{
    const QString cue = makeDisc(QStringLiteral("disc"));
    writeSettings("[Main]\nPath=" + out().toUtf8() +
                  "\nOutput=1\n[wav]\nmode=2\nfrequency=4\nchannel=0\nbit=0\n");
    for (int run = 0; run < 2; ++run) {
        const RunResult r = rip({QStringLiteral("-f"), QStringLiteral("wav"), QStringLiteral("-t"),
                                 QStringLiteral("3"), QStringLiteral("-q")},
                                cue);
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    }
    EXPECT_EQ(filesBelow(out()), (QStringList{QStringLiteral("ArtPop/Song 3.wav"),
                                              QStringLiteral("ArtPop/Song 3_01.wav")}));
    const auto info = MediaProbe::probe(out() + QStringLiteral("/ArtPop/Song 3_01.wav"));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->sampleRate, 22050);
    EXPECT_EQ(info->channels, 1);
    EXPECT_EQ(info->codecName, QStringLiteral("pcm_u8"));
}

TEST_F(RipCliTest, HandEditedWmaFormatIsHonoured)
{
    const QString cue = makeDisc(QStringLiteral("disc"), {2});
    // Index 18: "WMA9 32KHz, 48Kbps, Stereo, CBR"; index 15: "WMA9 44KHz, 48Kbps, Mono, CBR".
    for (const auto& [index, rate, channels] :
         {std::tuple{18, 32000, 2}, std::tuple{15, 44100, 1}}) {
        writeSettings("; edited by hand\r\n[WMA]\r\n  Format = " + QByteArray::number(index) +
                      "\r\n");
        const QString dest = path(QStringLiteral("wma%1").arg(index));
        const RunResult r = rip({QStringLiteral("-d"), cue, QStringLiteral("-o"), dest});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        const auto info = MediaProbe::probe(dest + QStringLiteral("/Song 1.wma"));
        ASSERT_TRUE(info);
        EXPECT_EQ(info->codecName, QStringLiteral("wmav2"));
        EXPECT_EQ(info->sampleRate, rate);
        EXPECT_EQ(info->channels, channels);
    }
}

TEST_F(RipCliTest, DamagedTrackFailsAloneAndIsRemoved)
{
    // The BIN ends in the middle of the second track; the third lies wholly beyond it.
    const std::int64_t cut = (2 * SectorsPerSecond + 30) * std::int64_t(DiscFixture::SectorBytes);
    const QString cue = makeDisc(QStringLiteral("damaged"), {2, 1, 2}, cut);
    writeSettings("[Format]\nstop=0\n");
    for (const char* jobs : {"1", "2"}) {
        const QString dest = path(QStringLiteral("out") + QLatin1StringView(jobs));
        const RunResult r =
            rip({QStringLiteral("-d"), cue, QStringLiteral("-f"), QStringLiteral("mp3"),
                 QStringLiteral("-o"), dest, QStringLiteral("-j"), QLatin1StringView(jobs)});
        EXPECT_EQ(r.code, 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("track 2 failed"))) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("track 3 failed"))) << r.err.toStdString();
        EXPECT_EQ(filesBelow(dest), QStringList{QStringLiteral("Song 1.mp3")});
        const auto info = MediaProbe::probe(dest + QStringLiteral("/Song 1.mp3"));
        ASSERT_TRUE(info);
        EXPECT_NEAR(info->duration, 2.0, 0.1);
    }
    EXPECT_TRUE(filesBelow(tmp()).isEmpty());
}

TEST_F(RipCliTest, TwoJobsWriteTheSameFilesAsOne)
{
    const QString cue = makeDisc(QStringLiteral("disc"), {3, 2, 3});
    for (const char* format : {"mp3", "ogg", "wma", "flac"}) {
        QStringList outputs;
        for (const char* jobs : {"1", "2"}) {
            const QString dest = path(
                QStringLiteral("%1-%2").arg(QLatin1StringView(format), QLatin1StringView(jobs)));
            const RunResult r =
                rip({QStringLiteral("-d"), cue, QStringLiteral("-f"), QLatin1StringView(format),
                     QStringLiteral("-o"), dest, QStringLiteral("-j"), QLatin1StringView(jobs)});
            ASSERT_EQ(r.code, 0) << r.err.toStdString();
            outputs << dest;
        }
        const QStringList files = filesBelow(outputs[0]);
        ASSERT_EQ(files.size(), 3);
        EXPECT_EQ(filesBelow(outputs[1]), files);
        for (const QString& file : files)
            EXPECT_EQ(readAll(outputs[0] + u'/' + file), readAll(outputs[1] + u'/' + file))
                << format << ' ' << file.toStdString();
    }
}

TEST_F(RipCliTest, InterruptHangUpAndTerminateRemoveUnfinishedFilesAndLeaveALogThatSaysSo)
{
    const QString cue = makeDisc(QStringLiteral("long"), {120, 120});
    for (const auto& [jobs, signal] : {std::pair{"1", SIGINT}, std::pair{"2", SIGINT},
                                       std::pair{"1", SIGHUP}, std::pair{"2", SIGTERM}}) {
        const QString dest =
            path(QStringLiteral("int%1-%2").arg(QLatin1StringView(jobs)).arg(signal));
        QProcess process;
        process.setProcessEnvironment(environment({}));
        process.start(ripProgram(),
                      {QStringLiteral("-d"), cue, QStringLiteral("-f"), QStringLiteral("mp3"),
                       QStringLiteral("-o"), dest, QStringLiteral("-j"), QLatin1StringView(jobs)});
        ASSERT_TRUE(process.waitForReadyRead(30000));
        ::kill(static_cast<pid_t>(process.processId()), signal);
        ASSERT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << signal;
        EXPECT_EQ(process.exitCode(), 130) << process.readAllStandardError().toStdString();
        // Only the log stays, and it tells what happened.
        ASSERT_EQ(filesBelow(dest), QStringList{QStringLiteral("Live Bootleg.log")});
        const QString log = QString::fromUtf8(readAll(dest + QStringLiteral("/Live Bootleg.log")));
        EXPECT_TRUE(log.contains(QStringLiteral("Result: Failed: interrupted")))
            << log.toStdString();
        EXPECT_TRUE(log.contains(QStringLiteral("the rip was interrupted."))) << log.toStdString();
    }
    EXPECT_TRUE(filesBelow(tmp()).isEmpty());
}

} // namespace
