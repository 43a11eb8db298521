#include "base/ComponentError.h"
#include "components/audiofile/TAudioFile2.h"
#include "components/audiofile/TAudioFile2LameEnc.h"
#include "support/MediaProbe.h"
#include "support/RecordingEncoders.h"
#include "support/TempDir.h"
#include "support/TestSignal.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <functional>
#include <limits>
#include <sys/resource.h>

namespace {

class AudioFileSafetyTest : public TempDirTest
{
protected:
    void chooseEachFormat(const std::function<void(const char* name)>& check)
    {
        m_audioFile.SetWaveFormat(44100, 2, 16);
        check("wav");
        m_audioFile.SetMp3Encoder(&m_lame);
        check("mp3");
        m_audioFile.SetOggVorbisFormat(44100, 2, 128, 0, 0, -1);
        check("ogg");
        m_audioFile.SetWmaFormat(10);
        check("wma");
    }

    TAudioFile2 m_audioFile;
    TAudioFile2LameEnc m_lame;
};

TEST_F(AudioFileSafetyTest, NeverOpensOverAnExistingFile)
{
    chooseEachFormat([this](const char* name) {
        const QString file = path(QLatin1String(name));
        writeAll(file, "someone's data");
        EXPECT_THROW(m_audioFile.open(file), ComponentError);
        EXPECT_FALSE(m_audioFile.IsOpen());
        EXPECT_EQ(readAll(file), QByteArray("someone's data"));
    });
}

TEST_F(AudioFileSafetyTest, PathsThatCannotBeCreatedFailCleanly)
{
    writeAll(path(QStringLiteral("plain")), "x");
    m_audioFile.SetWaveFormat(44100, 2, 16);
    EXPECT_THROW(m_audioFile.open(path(QStringLiteral("plain/track.wav"))), ComponentError);
    EXPECT_THROW(m_audioFile.open(path(QStringLiteral("missing/track.wav"))), ComponentError);
    EXPECT_FALSE(m_audioFile.IsOpen());
    EXPECT_THROW(m_audioFile.write(std::vector<std::int16_t>(4)), ComponentError);
}

TEST_F(AudioFileSafetyTest, AFormatThatCannotBeMadeLeavesNoneChosen)
{
    const QString file = path(QStringLiteral("track"));
    EXPECT_THROW(m_audioFile.open(file), ComponentError); // nothing chosen yet

    for (int number : {0, 47, 48, -1}) {
        m_audioFile.SetWmaFormat(10);
        EXPECT_THROW(m_audioFile.SetWmaFormat(number), ComponentError) << number;
        EXPECT_THROW(m_audioFile.open(file), ComponentError) << number;
    }
    try {
        m_audioFile.SetWmaFormat(47);
    } catch (const ComponentError& e) {
        EXPECT_TRUE(e.message().contains(QLatin1String("Lossless")));
    }

    m_audioFile.SetWaveFormat(44100, 2, 16);
    EXPECT_THROW(m_audioFile.SetOggVorbisFormat(8000, 2, 320, 320, 320, -1), ComponentError);
    EXPECT_THROW(m_audioFile.SetOggVorbisFormat(44100, 2, 0, 0, 0, 1001), ComponentError);
    constexpr int Largest = std::numeric_limits<int>::max();
    EXPECT_THROW(m_audioFile.SetOggVorbisFormat(Largest, 2, 128, 0, 0, -1), ComponentError);
    EXPECT_THROW(m_audioFile.SetOggVorbisFormat(44100, 2, Largest, Largest, Largest, -1),
                 ComponentError);
    EXPECT_THROW(m_audioFile.SetOggVorbisFormat(44100, 2, 128, 0, 0, Largest), ComponentError);
    EXPECT_THROW(m_audioFile.SetWaveFormat(44100, 2, 24), ComponentError);
    QStringList log;
    RecordingLameEncoder otherEncoder(log);
    EXPECT_THROW(m_audioFile.SetMp3Encoder(&otherEncoder), ComponentError);
    EXPECT_THROW(m_audioFile.open(file), ComponentError);
    EXPECT_FALSE(QFileInfo::exists(file));
}

TEST_F(AudioFileSafetyTest, AFileStillOpenIsCompletedWhenTheComponentGoes)
{
    const QString file = path(QStringLiteral("quit.mp3"));
    {
        TAudioFile2 audioFile;
        audioFile.SetMp3Encoder(&m_lame);
        audioFile.open(file);
        audioFile.write(cdTestSignal(44100));
    }
    // Exactly the second written: the LAME tag, written at completion, tells the decoder.
    EXPECT_EQ(MediaProbe::decode(file).size(), 2u * 44100);
}

// A full disk, made with a file-size limit in a child process: the write error is reported and
// the partial file removed, whether it shows while writing or only when the file is completed.
int grabOntoAFullDisk(TAudioFile2& audioFile, const QString& file)
{
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{64 * 1024, 64 * 1024};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        return 10;
    const auto second = cdTestSignal(44100);
    bool failed = false;
    try {
        audioFile.open(file);
        for (int i = 0; i < 20; ++i)
            audioFile.write(second);
    } catch (const ComponentError&) {
        failed = true;
    }
    if (failed && audioFile.IsOpen())
        return 3;
    try {
        audioFile.Close();
    } catch (const ComponentError&) {
        failed = true;
    }
    if (!failed)
        return 1;
    return QFileInfo::exists(file) ? 2 : 0;
}

TEST_F(AudioFileSafetyTest, AWriteErrorLeavesNoFileBehind)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    chooseEachFormat([this](const char* name) {
        const QString file = path(QStringLiteral("full.%1").arg(QLatin1String(name)));
        // The child leaves without destructors: it removes its own test folder first.
        const auto grabAndClean = [&] {
            const int code = grabOntoAFullDisk(m_audioFile, file);
            QDir(root()).removeRecursively();
            return code;
        };
        EXPECT_EXIT(std::_Exit(grabAndClean()), ::testing::ExitedWithCode(0), "") << name;
    });
}

} // namespace
