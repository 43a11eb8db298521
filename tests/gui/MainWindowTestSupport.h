#pragma once

#include "DiscImage.h"
#include "TestAudio.h"
#include "components/audiofile/TAudioFile2.h"
#include "components/audiofile/TAudioFile2LameEnc.h"
#include "components/grabber/AudioCDGrabber.h"
#include "gui/MainWindow.h"
#include "gui/TSkin.h"
#include "support/EnvGuard.h"
#include "support/RecordingPrompter.h"
#include "support/TempDir.h"

#include <QFile>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>

#include <sys/stat.h>

using DiscFixture::SectorsPerSecond;

inline QString sourceSkin()
{
    return QStringLiteral(TUNECREST_SOURCE_DIR "/skins/mp3enc.dll");
}

// The main window over real image drives and the real skin; message boxes and the desktop's
// opener are recorded.
class MainWindowTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        // A recording xdg-open first on PATH: what the window opens lands in opened.txt.
        QDir(root()).mkpath(QStringLiteral("bin"));
        const QString opener = path(QStringLiteral("bin/xdg-open"));
        writeAll(opener, "#!/bin/sh\necho \"$1\" >> \"$(dirname \"$0\")/opened.txt\"\n");
        ::chmod(QFile::encodeName(opener).constData(), 0755);
        m_path.set(path(QStringLiteral("bin")).toLocal8Bit() + ':' + m_path.original());
        // Runs write below the test's folder, the audio files alone unless a test asks for the
        // rip log and cue sheet; the lookups that disc changes start stay off the network (the
        // local file only, no MusicBrainz).
        writeAll(
            path(QStringLiteral("settings.ini")),
            "[Main]\nPath=" + path(QStringLiteral("out")).toUtf8() +
                "\nLog=0\nPlaylist=0\n[Freedb]\ntoserver=2\n[MusicBrainz]\nenabled=0\n[AccurateRip]"
                "\nenabled=0\n");
    }

    QString makeDisc(const QString& name, const DiscFixture::DiscLayout& layout)
    {
        const QString cue = path(name + QStringLiteral(".cue"));
        DiscFixture::writeDisc(cue.toStdString(), layout);
        return cue;
    }

    DiscFixture::DiscLayout textDisc() const
    {
        DiscFixture::DiscLayout disc;
        disc.album = "Live: Bootleg";
        disc.performer = "Art/Pop";
        disc.tracks = {{4 * 60 * SectorsPerSecond + 35 * SectorsPerSecond + 12, "Intro", {}},
                       {2 * SectorsPerSecond, "Café Müller", {}},
                       {SectorsPerSecond, "Coda", {}}};
        return disc;
    }

    std::unique_ptr<Tfm_main> window(const QStringList& drives, bool skin = true)
    {
        m_drives.set(drives.join(u':').toLocal8Bit());
        return windowOver(std::make_unique<TAudioCDGrabber2>(std::make_unique<TAudioFile2>()),
                          skin);
    }

    std::unique_ptr<Tfm_main> windowOver(std::unique_ptr<IAudioCDGrabber2> grabber,
                                         bool skin = true,
                                         std::unique_ptr<IAudioPlayer2> player = nullptr)
    {
        MainWindowParts parts;
        parts.grabber = std::move(grabber);
        parts.player = std::move(player);
        parts.lame = std::make_unique<TAudioFile2LameEnc>();
        if (skin)
            parts.skin = std::make_unique<TSkin>();
        parts.prompter = std::make_unique<RecordingPrompter>(m_shown, m_answers);
        parts.settingsPath = path(QStringLiteral("settings.ini"));
        parts.skinPath = sourceSkin();
        return std::make_unique<Tfm_main>(std::move(parts));
    }

    // What the recording opener received; it runs detached, so its record may come a moment
    // later.
    QStringList opened(int expected = 1) const
    {
        QStringList lines;
        for (int i = 0; i < 100 && lines.size() < expected; ++i) {
            lines = QString::fromUtf8(readAll(path(QStringLiteral("bin/opened.txt"))))
                        .split(u'\n', Qt::SkipEmptyParts);
            if (lines.size() < expected)
                QTest::qWait(50);
        }
        return lines;
    }

    // The cells of a row of the main window's list, as it shows them.
    static QStringList row(const TrackListModel& list, int index)
    {
        QStringList cells;
        for (int column = 0; column < 5; ++column)
            cells << list.text(index, column);
        return cells;
    }

    // Changes a record of the main window's track table, as the tag editor would.
    static void editRecord(Tfm_main& main, int row, const std::function<void(CDFreedinfo&)>& edit)
    {
        CDFreedinfo record = main.trackTable().at(row);
        edit(record);
        main.trackModel().setRecord(row, record);
    }

    QStringList m_shown;
    std::deque<bool> m_answers;
    EnvGuard m_drives{"TUNECREST_IMAGE_DRIVES"};
    EnvGuard m_path{"PATH"};
};
