#pragma once

#include "base/IAudioCDGrabber2.h"

#include <QStringList>

/// A grabber that records the grab options it is given, as "GrabMode(1)" etc., in call order.
/// Everything else does nothing.
class RecordingGrabber final : public IAudioCDGrabber2
{
public:
    explicit RecordingGrabber(QStringList& log) : m_log(log) {}

    void GrabMode(int mode) override { record("GrabMode", mode); }
    void ErrorAction(int action) override { record("ErrorAction", action); }
    void ReadRetries(int retries) override { record("ReadRetries", retries); }
    void setReadOffset(int samples) override { record("setReadOffset", samples); }
    void setDeEmphasis(bool on) override { record("setDeEmphasis", on ? 1 : 0); }

    void Initialize() override {}
    void Uninitialize() override {}
    void ReadDisc() override {}
    void GrabToFile(const QString&) override {}
    void AbortGrab() override {}
    void QueryFreeDB(IFreeDBInformation2&, int) override {}
    FreeDBDisc freeDBDisc() const override { return {}; }
    int DeviceCount() const override { return 0; }
    void CurrentDevice(int) override {}
    int currentDevice() const override { return 0; }
    QString DeviceText1() const override { return {}; }
    QString DeviceText2() const override { return {}; }
    QString DeviceText3() const override { return {}; }
    QString DeviceTag() const override { return {}; }
    int TrackCount() const override { return 0; }
    void CurrentTrack(int) override {}
    int TrackLength1() const override { return 0; }
    int TrackLength2() const override { return 0; }
    int TrackLength3() const override { return 0; }
    int trackSectors() const override { return 0; }
    bool hasTrackTitle() const override { return false; }
    QString TrackArtist() const override { return {}; }
    QString TrackAlbum() const override { return {}; }
    QString TrackTitle() const override { return {}; }
    QString TrackGenre() const override { return {}; }
    QString TrackYear() const override { return {}; }
    QString albumArtist() const override { return {}; }
    void BeginRead() override {}
    void EndRead() override {}
    QByteArray ReadBlock(int) override { return {}; }
    IAudioFile2* AudioFile() override { return nullptr; }
    void TestRead() override {}
    GrabReport lastGrabReport() const override { return {}; }
    QString discCatalog() const override { return {}; }
    QString trackIsrc() const override { return {}; }
    int trackStartSector() const override { return 0; }
    int trackPregapSectors() const override { return 0; }
    int hiddenTrackSectors() const override { return 0; }
    void selectHiddenTrack() override {}
    bool trackPreEmphasis() const override { return false; }
    DriveState driveState(int) const override { return DriveState::Empty; }
    QString driveProblem(int) const override { return {}; }
    int addDrive(const QString&) override { return 0; }
    DriveDescription describeDrive(int) const override { return {}; }

private:
    void record(const char* name, int value)
    {
        m_log << QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(value);
    }

    QStringList& m_log;
};
