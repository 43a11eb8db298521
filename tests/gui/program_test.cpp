#include "DiscImage.h"
#include "TestAudio.h"
#include "support/TempDir.h"

#include <QLocalSocket>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <unistd.h>

namespace {

QString program()
{
    return qEnvironmentVariable("TUNECREST_TEST_BIN") + QStringLiteral("/src/tunecrest");
}

// The window program as a user starts it, offscreen, on a disc image.
class ProgramTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        QDir(root()).mkpath(QStringLiteral("cfg"));
        m_cue = path(QStringLiteral("disc.cue"));
        DiscFixture::writeDisc(m_cue.toStdString(), DiscFixture::audioDisc({75, 75}));
    }

    std::unique_ptr<QProcess> start(const QString& executable)
    {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("cfg")));
        env.insert(QStringLiteral("TUNECREST_IMAGE_DRIVES"), m_cue);
        process->setProcessEnvironment(env);
        process->start(executable, {});
        EXPECT_TRUE(process->waitForStarted(10000));
        return process;
    }

    static bool instanceAnswers()
    {
        QLocalSocket socket;
        socket.connectToServer(QStringLiteral("Lumen Tunecrest Ripper-") +
                               QString::number(getuid()));
        return socket.waitForConnected(200);
    }

    static bool waitUntil(const std::function<bool()>& done)
    {
        for (int i = 0; i < 100; ++i) {
            if (done())
                return true;
            QThread::msleep(100);
        }
        return false;
    }

    QString m_cue;
};

TEST_F(ProgramTest, SecondStartEndsAtOnceAndACrashedOneDoesNotBlock)
{
    auto first = start(program());
    ASSERT_TRUE(waitUntil(instanceAnswers));

    auto second = start(program());
    ASSERT_TRUE(second->waitForFinished(10000));
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_TRUE(second->readAllStandardOutput().isEmpty());
    EXPECT_EQ(first->state(), QProcess::Running);

    // A crash leaves the socket file behind; the next start must not take it for a program.
    ::kill(static_cast<pid_t>(first->processId()), SIGKILL);
    first->waitForFinished(10000);
    auto third = start(program());
    EXPECT_FALSE(third->waitForFinished(2000)) << third->readAllStandardError().toStdString();
    EXPECT_TRUE(instanceAnswers());
    third->kill();
    third->waitForFinished(10000);
}

TEST_F(ProgramTest, MissingSkinIsNamedAndEndsTheProgram)
{
    // A copy of the program with no skin beside it and no installed one.
    QDir(root()).mkpath(QStringLiteral("lonely/bin"));
    const QString copy = path(QStringLiteral("lonely/bin/tunecrest"));
    ASSERT_TRUE(QFile::copy(program(), copy));
    auto process = start(copy);
    ASSERT_TRUE(process->waitForFinished(20000));
    EXPECT_EQ(process->exitCode(), 1);
    const QString err = QString::fromUtf8(process->readAllStandardError());
    EXPECT_TRUE(err.contains(path(QStringLiteral("lonely/bin/mp3enc.dll")))) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("share/tunecrest/mp3enc.dll"))) << err.toStdString();
}

} // namespace
