#pragma once

#include <cdio/cdio.h>

#include <QList>
#include <QSet>

#include <algorithm>

#include <atomic>
#include <cstdint>
#include <functional>

/// What a read reports while it works, and how it is told to stop.
struct ReadEvents
{
    std::function<void(int retry, int sector)> retry; // may be empty
    const std::atomic<bool>* cancel = nullptr;

    bool cancelled() const { return cancel && cancel->load(std::memory_order_relaxed); }
};

/// Reads raw audio sectors through libcdio, checking every sector it hands out.
class SectorReader final
{
public:
    SectorReader(CdIo_t* device, int readableEnd, int retries, const ReadEvents& events);

    /// Reads count sectors from first into out (count * 2352 bytes). A sector that cannot be
    /// read, also after the retries, comes back as silence and counts as bad. Once cancelled,
    /// it returns silence without reading.
    void read(int first, int count, std::uint8_t* out);
    /// The same, reading also once cancelled: for the secure reader's reads, which must see
    /// the disc's real audio until the sector in hand is done, or its checks never agree.
    void readUncancelled(int first, int count, std::uint8_t* out);

    bool isBad(int sector) const { return m_bad.contains(sector); }
    /// Every sector found bad so far, in order.
    QList<int> badSectors() const
    {
        QList<int> sectors(m_bad.begin(), m_bad.end());
        std::sort(sectors.begin(), sectors.end());
        return sectors;
    }
    const ReadEvents& events() const { return m_events; }

private:
    void readChecked(int first, int count, std::uint8_t* out);
    bool readRun(int first, int count, std::uint8_t* out);
    void readSector(int sector, std::uint8_t* out);

    CdIo_t* m_device;
    int m_readableEnd;
    int m_retries;
    const ReadEvents& m_events;
    QSet<int> m_bad;
};
