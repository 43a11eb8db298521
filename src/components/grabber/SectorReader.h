#pragma once

#include "Disc.h"

#include <QSet>

#include <atomic>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

/// What a read reports while it works, and how it is told to stop.
struct ReadEvents
{
    std::function<void(int retry, int sector)> retry; // may be empty
    const std::atomic<bool>* cancel = nullptr;

    bool cancelled() const { return cancel && cancel->load(std::memory_order_relaxed); }
};

/// Reads raw audio sectors of a disc, checking every sector it hands out.
class SectorReader final
{
public:
    SectorReader(Disc& disc, int readableEnd, int retries, const ReadEvents& events);

    /// Reads count sectors from first into out (count * 2352 bytes). A sector that cannot be
    /// read, also after the retries, comes back as silence and counts as bad. Once cancelled,
    /// it returns silence without reading.
    void read(int first, int count, std::uint8_t* out);

    bool isBad(int sector) const { return m_bad.contains(sector); }
    /// Counts sector as bad: a read that made no progress on it.
    void markBad(int sector) { m_bad.insert(sector); }
    /// Whether a sector read before could not be read now (a disc image that shrank) since the
    /// last call.
    bool takeChange();
    const ReadEvents& events() const { return m_events; }

private:
    void readChecked(int first, int count, std::uint8_t* out);
    bool readRun(int first, int count, std::uint8_t* out);
    void readSector(int sector, std::uint8_t* out);
    void noteReadable(int first, int count);
    bool wasReadable(int sector) const;

    /// Sectors past this are not remembered as read (more than a CD holds).
    static constexpr int MaxTrackedSector = 1 << 20;

    Disc& m_disc;
    int m_readableEnd;
    int m_retries;
    const ReadEvents& m_events;
    QSet<int> m_bad;
    std::vector<bool> m_readable; // by sector: read once
    bool m_changed = false;
};
