#pragma once

#include "DeEmphasis.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class TrackReader;

/// Reads a track ahead of its consumer on a thread of its own, so that whoever takes the
/// samples (the player, on the GUI thread) waits for the drive only at the very start: a drive
/// that spins up or retries a sector stalls the reading thread, not the window.
class BlockReadAhead final
{
public:
    /// The reader is made here, on the caller's thread, so a disc that cannot be opened throws
    /// from the constructor; it is handed the flag that cancels its reads. Reading starts at
    /// once; limitSamples bounds what is held ahead. With deEmphasize the audio is
    /// de-emphasized as it is read.
    using ReaderFactory =
        std::function<std::unique_ptr<TrackReader>(const std::atomic<bool>& cancel)>;
    BlockReadAhead(const ReaderFactory& makeReader, std::size_t limitSamples,
                   bool deEmphasize = false);
    /// Cancels the read and waits for the thread; at most the sector run in progress is read.
    ~BlockReadAhead();
    BlockReadAhead(const BlockReadAhead&) = delete;
    BlockReadAhead& operator=(const BlockReadAhead&) = delete;

    /// The next samples (interleaved 16-bit stereo), count of them or fewer at the track's
    /// end; empty once the track is done. Waits, without spinning, until that many are read.
    /// A read error is thrown (ComponentError) once the samples read before it are taken.
    std::vector<std::int16_t> take(std::size_t count);

private:
    void run();
    bool readyFor(std::size_t count) const;

    std::atomic<bool> m_cancel{false};
    std::unique_ptr<TrackReader> m_reader;
    const std::size_t m_limit;
    const bool m_deEmphasize;
    DeEmphasis m_deEmphasis; // used by the reading thread alone
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::int16_t> m_samples;
    bool m_done = false;
    std::exception_ptr m_error;
    std::thread m_thread; // last: started once everything it uses exists
};
