#include "GrabWorker.h"

#include "TrackReader.h"
#include "base/ComponentError.h"
#include "base/IAudioFile2.h"

#include <zlib.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdlib>
#include <exception>

namespace {

/// Sectors read and written at a time: about a third of a second of audio.
constexpr int SectorsPerWrite = 25;

/// Lets a progress event through once the grab has moved on by 1 %, but not sooner than 50 ms
/// after the last one.
class ProgressGate
{
public:
    bool due(double percent)
    {
        const auto now = std::chrono::steady_clock::now();
        if (percent - m_last < 1.0 || now - m_lastTime < std::chrono::milliseconds(50))
            return false;
        m_last = percent;
        m_lastTime = now;
        return true;
    }

private:
    double m_last = 0.0;
    std::chrono::steady_clock::time_point m_lastTime{};
};

} // namespace

GrabWorker::GrabWorker(const Drive& drive, const TocTrack& track, const TrackPlace& place,
                       const ReadOptions& options, IAudioFile2* file,
                       const std::atomic<bool>& cancel)
    : m_drive(drive), m_track(track), m_place(place), m_options(options), m_file(file),
      m_cancel(cancel), m_checksum(qint64{track.sectorCount} * AccurateRipChecksum::FramesPerSector,
                                   place.first, place.last)
{
    m_report.deEmphasized = options.deEmphasizes(track.preEmphasis);
}

void GrabWorker::run()
{
    // Nothing thrown here may leave the thread: failures travel as the failed() signal.
    try {
        grab();
        emit reported(m_report);
        if (!m_cancel.load())
            emit progress(100.0);
    } catch (const ComponentError& error) {
        emit reported(m_report);
        emit failed(error.message());
    } catch (const std::exception& error) {
        emit reported(m_report);
        emit failed(QStringLiteral("Grabbing track %1 from %2 failed: %3")
                        .arg(m_track.number)
                        .arg(m_drive.path, QString::fromLocal8Bit(error.what())));
    }
}

void GrabWorker::account(std::vector<std::int16_t>& pcm)
{
    m_checksum.add(pcm);
    m_report.accurateRip = m_checksum.sums();
    if (m_report.deEmphasized)
        m_deEmphasis.apply(pcm);
    // CD audio is little-endian, as the samples lie in memory here.
    static_assert(std::endian::native == std::endian::little);
    m_report.crc =
        static_cast<quint32>(crc32_z(m_report.crc, reinterpret_cast<const Bytef*>(pcm.data()),
                                     pcm.size() * sizeof(std::int16_t)));
    for (const std::int16_t sample : pcm)
        m_report.peak = std::max(m_report.peak, std::abs(int{sample}));
}

void GrabWorker::grab()
{
    ReadEvents events{[this](int retry, int sector) { emit this->retry(retry, sector); },
                      &m_cancel};
    TrackReader reader(m_drive, m_track, m_place, m_options, std::move(events));
    try {
        readTrack(reader);
    } catch (...) {
        // A read that stops at an unreadable sector names it.
        m_report.unreadable = reader.unreadableSectors();
        throw;
    }
}

// After a cancel the report stays that of what was handed on before it: what was read since is
// dropped.
void GrabWorker::readTrack(TrackReader& reader)
{
    ProgressGate gate;
    std::vector<std::int16_t> pcm;
    while (!m_cancel.load()) {
        pcm.clear();
        if (!reader.readNext(SectorsPerWrite, pcm) || m_cancel.load())
            break;
        account(pcm);
        m_report.unreadable = reader.unreadableSectors();
        if (m_file && !pcm.empty())
            m_file->write(pcm);
        const int done = reader.sectorsDone();
        if (done < reader.sectorCount() && gate.due(100.0 * done / reader.sectorCount()))
            emit progress(100.0 * done / reader.sectorCount());
    }
    if (m_cancel.load())
        return;
    m_report.unreadable = reader.unreadableSectors();
    m_report.complete = reader.sectorsDone() >= reader.sectorCount();
}
