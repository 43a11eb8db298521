#pragma once

#include "base/ComponentError.h"
#include "base/IAudioCDGrabber2.h"
#include "base/IAudioFile2.h"

#include <QSet>
#include <QTimer>

#include <memory>
#include <vector>

/// A grabber of a made-up disc whose grabs play out from the event loop as the real one's do:
/// GrabToFile opens the audio file and returns; later the track's audio (a constant sample per
/// track) is written, then progress 100 follows, or grabFailed for the tracks told to fail.
class ScriptedGrabber final : public IAudioCDGrabber2
{
public:
    ScriptedGrabber(std::unique_ptr<IAudioFile2> file, std::vector<int> trackSectors)
        : m_file(std::move(file)), m_sectors(std::move(trackSectors))
    {
    }

    /// Grabs of this track (0-based) fail after half of its audio.
    void failTrack(int index) { m_failing.insert(index); }
    QStringList grabbed; // the file names of every grab, in order
    int grabMilliseconds = 1;
    QList<double> progressSteps;              // reported before the 100 that ends a grab
    QString readError;                        // when set, ReadBlock throws it
    DriveState state = DriveState::AudioDisc; // what driveState reports

    void GrabToFile(const QString& fileName) override
    {
        grabbed << fileName;
        m_lastWasTest = false;
        m_file->open(fileName);
        const quint64 serial = ++m_serial;
        QTimer::singleShot(grabMilliseconds, this, [this, serial, track = m_track] {
            if (serial != m_serial)
                return; // aborted
            const bool fails = m_failing.contains(track);
            const std::size_t samples = static_cast<std::size_t>(m_sectors[track]) * 588 * 2;
            const std::vector<std::int16_t> pcm(fails ? samples / 2 : samples,
                                                static_cast<std::int16_t>(track + 1));
            m_file->write(pcm);
            for (const double percent : std::as_const(progressSteps))
                emit OnOperationProgress(percent);
            if (fails)
                emit grabFailed(QStringLiteral("sector %1 cannot be read").arg(track));
            else
                emit OnOperationProgress(100.0);
        });
    }
    /// A test read ends as a grab does, with testReport.
    void TestRead() override
    {
        const quint64 serial = ++m_serial;
        m_lastWasTest = true;
        QTimer::singleShot(grabMilliseconds, this, [this, serial] {
            if (serial == m_serial)
                emit OnOperationProgress(100.0);
        });
    }
    GrabReport report;     // what lastGrabReport gives after a grab
    GrabReport testReport; // and after a test read
    GrabReport lastGrabReport() const override { return m_lastWasTest ? testReport : report; }
    QString discCatalog() const override { return {}; }
    QString trackIsrc() const override { return {}; }
    int trackStartSector() const override { return 0; }
    int trackPregapSectors() const override { return 0; }
    int hiddenTrackSectors() const override { return 0; }
    void selectHiddenTrack() override { throw ComponentError(QStringLiteral("no hidden track")); }
    bool trackPreEmphasis() const override { return false; }
    void setDeEmphasis(bool) override {}
    void AbortGrab() override { ++m_serial; }
    void QueryFreeDB(IFreeDBInformation2&, int) override {}
    FreeDBDisc freeDBDisc() const override { return {}; }

    int TrackCount() const override { return static_cast<int>(m_sectors.size()); }
    void CurrentTrack(int index) override { m_track = index; }
    int trackSectors() const override { return m_sectors[m_track]; }
    bool hasTrackTitle() const override { return true; }
    QString TrackTitle() const override { return QStringLiteral("T%1").arg(m_track + 1); }
    int TrackLength1() const override { return trackSectors() / 4500; }
    int TrackLength2() const override { return trackSectors() / 75 % 60; }
    int TrackLength3() const override { return trackSectors() % 75; }
    QString TrackArtist() const override { return QStringLiteral("Artist"); }
    QString TrackAlbum() const override { return QStringLiteral("Album"); }
    QString TrackGenre() const override { return {}; }
    QString TrackYear() const override { return {}; }
    QString albumArtist() const override { return {}; }
    IAudioFile2* AudioFile() override { return m_file.get(); }

    void Initialize() override {}
    void Uninitialize() override {}
    void ReadDisc() override {}
    int DeviceCount() const override { return 1; }
    void CurrentDevice(int) override {}
    int currentDevice() const override { return 1; }
    QString DeviceText1() const override { return {}; }
    QString DeviceText2() const override { return {}; }
    QString DeviceText3() const override { return {}; }
    QString DeviceTag() const override { return {}; }
    void GrabMode(int) override {}
    void ErrorAction(int) override {}
    void ReadRetries(int) override {}
    void setReadOffset(int) override {}
    void BeginRead() override {}
    void EndRead() override {}
    QByteArray ReadBlock(int count) override
    {
        if (!readError.isEmpty())
            throw ComponentError(readError);
        return QByteArray(count * 8 * 2352, '\0');
    }
    DriveState driveState(int) const override { return state; }
    QString driveProblem(int) const override { return {}; }
    int addDrive(const QString&) override { return 1; }
    DriveDescription describeDrive(int) const override { return {}; }

private:
    std::unique_ptr<IAudioFile2> m_file;
    std::vector<int> m_sectors;
    QSet<int> m_failing;
    int m_track = 0;
    quint64 m_serial = 0;
    bool m_lastWasTest = false;
};
