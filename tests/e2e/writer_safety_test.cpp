// What the file writers leave on disk when things go wrong: a user's files beside the output are
// never touched, and a full disk is reported as such, with nothing temporary left behind.
#include "base/ComponentError.h"
#include "components/audiofile/TAudioFile2.h"
#include "components/audiofile/TAudioFile2LameEnc.h"
#include "support/MediaProbe.h"
#include "support/SmallTmpfs.h"
#include "support/TagTestSupport.h"
#include "support/TestSignal.h"
#include "tags/FlacTag.h"
#include "tags/ID3Writer.h"
#include "tags/Mp4Tag.h"
#include "tags/Ogg.h"
#include "tags/WMATag.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>

namespace {

struct TagCase
{
    const char* extension;
    QStringList ffmpegArguments;
    // Tags the file; returns the error text, empty on success.
    std::function<QString(const QString&)> tag;
};

QString errorOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const ComponentError& error) {
        return error.message();
    }
    return QString();
}

QList<TagCase> tagCases()
{
    const auto id3 = [](const QString& file) {
        ID3StructV2 tag;
        tag.Title = QStringLiteral("One");
        return errorOf([&] { WriteID3Tag(file, tag); });
    };
    const auto ogg = [](const QString& file) {
        OGGTag tag;
        tag.title = QStringLiteral("One");
        return errorOf([&] { WriteOGGTag(file, tag); });
    };
    const auto wma = [](const QString& file) {
        WMATagInfo info;
        info.Title = QStringLiteral("One");
        return errorOf([&] { writeWmaAttributes(file, info); });
    };
    const auto mp4 = [](const QString& file) {
        Mp4Tag tag;
        tag.title = QStringLiteral("One");
        return errorOf([&] { writeMp4Tags(file, tag); });
    };
    // The way tags reach a FLAC file that already carries its final name.
    const auto flac = [](const QString& file) {
        FlacTag tag;
        tag.title = QStringLiteral("One");
        return errorOf([&] { writeFlacComments(file, tag, FlacTagWrite::ThroughSibling); });
    };
    return {
        {"mp3", {QStringLiteral("-f"), QStringLiteral("mp3")}, id3},
        {"ogg", {QStringLiteral("-c:a"), QStringLiteral("libvorbis")}, ogg},
        {"wma", {QStringLiteral("-c:a"), QStringLiteral("wmav2")}, wma},
        {"opus", {QStringLiteral("-c:a"), QStringLiteral("libopus")}, ogg},
        {"m4a", {QStringLiteral("-c:a"), QStringLiteral("aac")}, mp4},
        {"flac", {QStringLiteral("-c:a"), QStringLiteral("flac")}, flac},
    };
}

class WriterSafetyTest : public SmallTmpfsTest
{
protected:
    QString makeTrack(const TagCase& c)
    {
        const QString file = path(QStringLiteral("One.") + QLatin1String(c.extension));
        EXPECT_TRUE(MediaProbe::makeSine(file, c.ffmpegArguments)) << c.extension;
        return file;
    }

    static QByteArray readAll(const QString& file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(WriterSafetyTest, TaggingLeavesTheUsersFilesBesideTheTrackAlone)
{
    for (const TagCase& c : tagCases()) {
        const QString file = makeTrack(c);
        // Names a rewrite might plausibly choose for its sibling: a plain file and a link to
        // a file elsewhere in the folder.
        QFile user(path(QStringLiteral("One.temp")));
        ASSERT_TRUE(user.open(QIODevice::WriteOnly));
        user.write("the user's own notes");
        user.close();
        QFile precious(path(QStringLiteral("precious")));
        ASSERT_TRUE(precious.open(QIODevice::WriteOnly));
        precious.write("someone's data");
        precious.close();
        const QString link =
            path(QStringLiteral("One.") + QLatin1String(c.extension) + QStringLiteral(".tmp"));
        ASSERT_TRUE(QFile::link(path(QStringLiteral("precious")), link));

        EXPECT_EQ(c.tag(file), QString()) << c.extension;
        EXPECT_EQ(MediaProbe::tag(MediaProbe::tags(file), QStringLiteral("title")),
                  QStringLiteral("One"))
            << c.extension;
        EXPECT_EQ(readAll(path(QStringLiteral("One.temp"))), "the user's own notes");
        EXPECT_EQ(readAll(path(QStringLiteral("precious"))), "someone's data");
        EXPECT_EQ(QFileInfo(link).symLinkTarget(), path(QStringLiteral("precious")));
        EXPECT_EQ(entries().size(), 4) << entries().join(u' ').toStdString();
        for (const QString& name : entries())
            QFile::remove(path(name));
    }
}

TEST_F(WriterSafetyTest, TaggingOnAFullDiskSaysSoAndKeepsTheFile)
{
    MOUNT_TMPFS_OR_SKIP(1 << 20);
    for (const TagCase& c : tagCases()) {
        const QString file = makeTrack(c);
        const QByteArray before = readAll(file);
        fillDisk();
        const QString error = c.tag(file);
        EXPECT_TRUE(error.contains(file)) << error.toStdString();
        EXPECT_TRUE(error.endsWith(QStringLiteral("No space left on device")))
            << error.toStdString();
        EXPECT_EQ(readAll(file), before) << c.extension;
        EXPECT_EQ(entries(), (QStringList{QStringLiteral("filler"),
                                          QStringLiteral("One.") + QLatin1String(c.extension)}));
        QFile::remove(file);
        QFile::remove(path(QStringLiteral("filler")));
    }
}

TEST_F(WriterSafetyTest, EncodingOntoAFullDiskSaysSoAndLeavesNoFile)
{
    MOUNT_TMPFS_OR_SKIP(256 << 10);
    TAudioFile2 audioFile;
    TAudioFile2LameEnc lame;
    const std::function<void()> formats[] = {
        [&] { audioFile.SetWaveFormat(44100, 2, 16); },
        [&] { audioFile.SetMp3Encoder(&lame); },
        [&] { audioFile.SetOggVorbisFormat(44100, 2, 128, 0, 0, -1); },
        [&] { audioFile.SetWmaFormat(10); },
        [&] { audioFile.SetOpusFormat(160); },
        [&] { audioFile.SetAacFormat(192); },
    };
    const auto second = cdTestSignal(44100);
    for (const auto& chooseFormat : formats) {
        chooseFormat();
        const QString file = path(QStringLiteral("Track"));
        const QString error = errorOf([&] {
            audioFile.open(file);
            for (int i = 0; i < 120; ++i)
                audioFile.write(second);
            audioFile.Close();
        });
        EXPECT_TRUE(error.contains(file)) << error.toStdString();
        EXPECT_TRUE(error.endsWith(QStringLiteral("No space left on device")))
            << error.toStdString();
        EXPECT_FALSE(audioFile.IsOpen());
        EXPECT_EQ(entries(), QStringList{});
    }
}

} // namespace
