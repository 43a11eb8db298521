#pragma once

#include "AccurateRipChecksum.h"
#include "DeEmphasis.h"
#include "DiscToc.h"
#include "Drive.h"
#include "ReadOptions.h"
#include "base/IAudioCDGrabber2.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <vector>

class IAudioFile2;
class TrackReader;

/// Grabs one track into an open audio file on its own thread, or only reads it (a test read,
/// without a file). It reports through queued signals only; the last signal of a complete grab
/// is progress(100.0), of a failed one failed(), and reported() comes just before either. A
/// cancelled grab sends only reported(), which its owner may drop: report() gives the same once
/// the thread has ended.
/// A track with pre-emphasis is de-emphasized when the options ask for it; its AccurateRip
/// checksums are those of the audio as on the disc, its CRC and peak those of what is written.
class GrabWorker final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GrabWorker)
public:
    /// file: null for a test read.
    GrabWorker(const Drive& drive, const TocTrack& track, const TrackPlace& place,
               const ReadOptions& options, IAudioFile2* file, const std::atomic<bool>& cancel);

    void run();
    /// What was read and handed on so far; read it only once the worker's thread has ended.
    const GrabReport& report() const { return m_report; }

signals:
    void progress(double percent);
    void retry(int retry, int sector);
    void failed(const QString& message);
    void reported(const GrabReport& report);

private:
    void grab();
    void readTrack(TrackReader& reader);
    /// Takes pcm (as read) into the report, and de-emphasizes it where it is to be.
    void account(std::vector<std::int16_t>& pcm);

    Drive m_drive;
    TocTrack m_track;
    TrackPlace m_place;
    ReadOptions m_options;
    IAudioFile2* m_file;
    const std::atomic<bool>& m_cancel;
    GrabReport m_report;
    AccurateRipChecksum m_checksum;
    DeEmphasis m_deEmphasis;
};
