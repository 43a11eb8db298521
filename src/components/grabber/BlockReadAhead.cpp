#include "BlockReadAhead.h"

#include "TrackReader.h"
#include "base/ComponentError.h"

#include <algorithm>

namespace {

// What the thread reads at once: half a second of audio.
constexpr int RunSectors = 38;

} // namespace

BlockReadAhead::BlockReadAhead(const ReaderFactory& makeReader, std::size_t limitSamples,
                               bool deEmphasize)
    : m_reader(makeReader(m_cancel)), m_limit(limitSamples), m_deEmphasize(deEmphasize),
      m_thread([this] { run(); })
{
}

BlockReadAhead::~BlockReadAhead()
{
    {
        const std::lock_guard lock(m_mutex);
        m_cancel = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void BlockReadAhead::run()
{
    std::vector<std::int16_t> run;
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_cancel || m_samples.size() < m_limit; });
            if (m_cancel)
                return;
        }
        run.clear();
        bool more = false;
        std::exception_ptr error;
        try {
            more = m_reader->readNext(RunSectors, run);
        } catch (...) {
            error = std::current_exception();
        }
        if (m_deEmphasize)
            m_deEmphasis.apply(run);
        {
            const std::lock_guard lock(m_mutex);
            m_samples.insert(m_samples.end(), run.begin(), run.end());
            m_error = error;
            m_done = !more || error;
        }
        m_changed.notify_all();
        if (!more || error)
            return;
    }
}

bool BlockReadAhead::readyFor(std::size_t count) const
{
    return m_done || m_samples.size() >= count;
}

std::vector<std::int16_t> BlockReadAhead::take(std::size_t count)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return readyFor(count); });
    if (m_samples.empty() && m_error)
        std::rethrow_exception(std::exchange(m_error, nullptr));
    const std::size_t taken = std::min(count, m_samples.size());
    std::vector<std::int16_t> samples(m_samples.begin(), m_samples.begin() + taken);
    m_samples.erase(m_samples.begin(), m_samples.begin() + taken);
    lock.unlock();
    m_changed.notify_all();
    return samples;
}
