#pragma once

#include "DiscImage.h"
#include "TestAudio.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>

#include <optional>
#include <vector>

using DiscFixture::SectorsPerSecond;

struct RunResult
{
    int code = -1;
    QString out;
    QString err;
};

// The ripper beside the tests in the build tree.
inline QString ripProgram()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../src/tunecrest-rip");
}

class RipCliTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        QDir(root()).mkpath(QStringLiteral("cfg"));
        QDir(root()).mkpath(QStringLiteral("out"));
        QDir(root()).mkpath(QStringLiteral("tmp"));
    }

    QString out() const { return path(QStringLiteral("out")); }
    // The rips' temporary folder, so a test sees what a rip leaves there.
    QString tmp() const { return path(QStringLiteral("tmp")); }
    QString settingsFile() const { return path(QStringLiteral("cfg/LumRipwellconverter.ini")); }

    // A three-track disc with CD-Text; track lengths in seconds.
    QString makeDisc(const QString& name, std::vector<int> seconds = {2, 1, 2},
                     std::optional<std::int64_t> binBytes = std::nullopt)
    {
        DiscFixture::DiscLayout disc;
        disc.album = "Live: Bootleg";
        disc.performer = "Art/Pop";
        disc.genre = "Rock";
        int n = 0;
        for (int s : seconds)
            disc.tracks.push_back({s * SectorsPerSecond, "Song " + std::to_string(++n), {}});
        if (disc.tracks.size() > 1)
            disc.tracks[1].title = "Café Müller";
        disc.binBytes = binBytes;
        const QString cue = path(name + QStringLiteral(".cue"));
        DiscFixture::writeDisc(cue.toStdString(), disc);
        return cue;
    }

    QProcessEnvironment environment(const QString& drives) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("cfg")));
        env.insert(QStringLiteral("TUNECREST_IMAGE_DRIVES"), drives);
        env.insert(QStringLiteral("TMPDIR"), tmp());
        return env;
    }

    // The rip log and the cue sheet are left out unless a test is about them, so the others
    // see the audio files alone.
    bool writeReports = false;
    bool writePlaylist = false; // nor the playlist
    // Nor is the AccurateRip database asked, unless a test is about it (and names its server).
    bool checkAccurateRip = false;
    static QStringList withoutReports(const QStringList& args)
    {
        // In front: a test may end with an option that lacks its value.
        return QStringList{QStringLiteral("--no-log"), QStringLiteral("--no-cue"),
                           QStringLiteral("--no-playlist"), QStringLiteral("--no-accuraterip")} +
               args;
    }
    QStringList withDefaults(const QStringList& args) const
    {
        QStringList all = args;
        if (!writeReports)
            all = QStringList{QStringLiteral("--no-log"), QStringLiteral("--no-cue")} + all;
        if (!writePlaylist)
            all.prepend(QStringLiteral("--no-playlist"));
        if (!checkAccurateRip)
            all.prepend(QStringLiteral("--no-accuraterip"));
        return all;
    }

    RunResult rip(const QStringList& args, const QString& drives = {},
                  const QString& workingFolder = {})
    {
        QProcess process;
        process.setProcessEnvironment(environment(drives));
        process.setWorkingDirectory(workingFolder);
        process.start(ripProgram(), withDefaults(args));
        EXPECT_TRUE(process.waitForFinished(120000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    void writeSettings(const QByteArray& text) { writeAll(settingsFile(), text); }
};
