#include "sonmill/source/blockqueue.h"

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <utility>

namespace sonmill {

DecodedBlock::DecodedBlock(
    BlockSamples samples, std::size_t frames, std::optional<std::int64_t> streamTime, BlockQueue *home)
    : m_samples(std::move(samples))
    , m_frames(frames)
    , m_streamTime(streamTime)
    , m_home(home)
{ }

DecodedBlock::~DecodedBlock()
{
    if (m_home && !m_samples.empty())
        m_home->recycle(std::move(m_samples));
}

DecodedBlock::DecodedBlock(DecodedBlock &&other) noexcept
{
    *this = std::move(other);
}

DecodedBlock &DecodedBlock::operator=(DecodedBlock &&other) noexcept
{
    if (this != &other) {
        if (m_home && !m_samples.empty())
            m_home->recycle(std::move(m_samples));
        m_samples = std::move(other.m_samples);
        m_frames = std::exchange(other.m_frames, 0);
        m_streamTime = std::exchange(other.m_streamTime, std::nullopt);
        m_home = std::exchange(other.m_home, nullptr);
    }
    return *this;
}

BlockQueue::BlockQueue(std::size_t channels, std::size_t blockFrames, std::size_t maxBlocks, bool integers)
    : m_channels(channels)
    , m_blockFrames(blockFrames)
    , m_maxBlocks(std::max<std::size_t>(maxBlocks, 1))
    , m_resumeAt(m_maxBlocks / 2)
    , m_integers(integers)
{ }

bool BlockQueue::push(const float *frames, std::size_t count, std::optional<std::int64_t> streamTime)
{
    return !m_integers && append(frames, count, streamTime);
}

bool BlockQueue::push(const std::int16_t *frames, std::size_t count, std::optional<std::int64_t> streamTime)
{
    return m_integers && append(frames, count, streamTime);
}

bool BlockQueue::push(const std::int32_t *frames, std::size_t count, std::optional<std::int64_t> streamTime)
{
    return m_integers && append(frames, count, streamTime);
}

template <typename Sample>
bool BlockQueue::append(const Sample *frames, std::size_t count, std::optional<std::int64_t> streamTime)
{
    while (count > 0) {
        if (m_closed)
            return false;
        if (m_fillingFrames == 0) {
            if (m_filling.empty()) {
                {
                    std::lock_guard lock(m_mutex);
                    if (!m_spare.empty()) {
                        m_filling = std::move(m_spare.back());
                        m_spare.pop_back();
                    }
                }
                if (m_integers)
                    m_filling.integers.resize(m_blockFrames * m_channels);
                else
                    m_filling.floats.resize(m_blockFrames * m_channels);
            }
            m_fillingTime = streamTime;
        }
        const std::size_t n = std::min(count, m_blockFrames - m_fillingFrames);
        const std::size_t offset = m_fillingFrames * m_channels;
        if constexpr (std::is_same_v<Sample, float>)
            std::memcpy(m_filling.floats.data() + offset, frames, n * m_channels * sizeof(float));
        else
            std::copy(frames, frames + n * m_channels, m_filling.integers.data() + offset);
        m_fillingFrames += n;
        frames += n * m_channels;
        count -= n;
        streamTime.reset(); // only the first frame's time is known
        if (m_fillingFrames == m_blockFrames && !handOver())
            return false;
    }
    return true;
}

bool BlockQueue::handOver()
{
    std::unique_lock lock(m_mutex);
    if (m_ready.size() >= m_maxBlocks) {
        m_producerWaiting = true;
        m_roomFree.wait(lock, [this] { return m_closed || m_ready.size() <= m_resumeAt; });
        m_producerWaiting = false;
    }
    if (m_closed)
        return false;
    const bool wake = m_consumerWaiting;
    completeFilling();
    lock.unlock();
    // Notified without the lock, so the woken thread does not at once block on it again.
    if (wake)
        m_blockReady.notify_one();
    return true;
}

void BlockQueue::completeFilling()
{
    m_ready.push_back({ std::move(m_filling), m_fillingFrames, m_fillingTime });
    m_filling = {};
    m_fillingFrames = 0;
    m_fillingTime.reset();
}

void BlockQueue::finish()
{
    std::lock_guard lock(m_mutex);
    if (m_fillingFrames > 0)
        completeFilling();
    m_finished = true;
    m_blockReady.notify_one();
}

void BlockQueue::close()
{
    std::lock_guard lock(m_mutex);
    m_closed = true;
    m_roomFree.notify_all();
    m_blockReady.notify_all();
}

BlockQueue::Status BlockQueue::pop(DecodedBlock &block, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    const auto available = [this] { return !m_ready.empty() || m_finished || m_closed; };
    if (!available()) {
        m_consumerWaiting = true;
        const bool woken = m_blockReady.wait_for(lock, timeout, available);
        m_consumerWaiting = false;
        if (!woken)
            return Status::Timeout;
    }
    if (m_ready.empty())
        return Status::End;
    Ready ready = std::move(m_ready.front());
    m_ready.pop_front();
    const bool wake = m_producerWaiting && m_ready.size() <= m_resumeAt;
    lock.unlock();
    if (wake)
        m_roomFree.notify_one();
    block = DecodedBlock(std::move(ready.samples), ready.frames, ready.streamTime, this);
    return Status::Block;
}

void BlockQueue::recycle(BlockSamples &&samples)
{
    std::lock_guard lock(m_mutex);
    if (m_spare.size() < m_maxBlocks)
        m_spare.push_back(std::move(samples));
}

} // namespace sonmill
