#include "sonmill/blockqueue.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace sonmill {

DecodedBlock::DecodedBlock(
    std::vector<float> samples, std::size_t frames, std::optional<std::int64_t> streamTime, BlockQueue *home)
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

BlockQueue::BlockQueue(std::size_t channels, std::size_t blockFrames, std::size_t maxBlocks)
    : m_channels(channels)
    , m_blockFrames(blockFrames)
    , m_maxBlocks(std::max<std::size_t>(maxBlocks, 1))
{ }

bool BlockQueue::push(const float *frames, std::size_t count, std::optional<std::int64_t> streamTime)
{
    std::unique_lock lock(m_mutex);
    while (count > 0) {
        if (m_closed)
            return false;
        if (m_fillingFrames == 0) {
            if (m_filling.empty()) {
                if (!m_spare.empty()) {
                    m_filling = std::move(m_spare.back());
                    m_spare.pop_back();
                }
                m_filling.resize(m_blockFrames * m_channels);
            }
            m_fillingTime = streamTime;
        }
        const std::size_t n = std::min(count, m_blockFrames - m_fillingFrames);
        std::memcpy(m_filling.data() + m_fillingFrames * m_channels, frames, n * m_channels * sizeof(float));
        m_fillingFrames += n;
        frames += n * m_channels;
        count -= n;
        streamTime.reset(); // only the first frame's time is known
        if (m_fillingFrames == m_blockFrames) {
            m_roomFree.wait(lock, [this] { return m_closed || m_ready.size() < m_maxBlocks; });
            if (m_closed)
                return false;
            completeFilling();
        }
    }
    return true;
}

void BlockQueue::completeFilling()
{
    m_ready.push_back({ std::move(m_filling), m_fillingFrames, m_fillingTime });
    m_filling.clear();
    m_fillingFrames = 0;
    m_fillingTime.reset();
    m_blockReady.notify_one();
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
    if (!m_blockReady.wait_for(lock, timeout, [this] { return !m_ready.empty() || m_finished || m_closed; }))
        return Status::Timeout;
    if (m_ready.empty())
        return Status::End;
    Ready ready = std::move(m_ready.front());
    m_ready.pop_front();
    // Wake the streaming thread only when it may be waiting for room.
    if (m_ready.size() + 1 == m_maxBlocks)
        m_roomFree.notify_one();
    lock.unlock();
    block = DecodedBlock(std::move(ready.samples), ready.frames, ready.streamTime, this);
    return Status::Block;
}

void BlockQueue::recycle(std::vector<float> &&samples)
{
    std::lock_guard lock(m_mutex);
    if (m_spare.size() < m_maxBlocks)
        m_spare.push_back(std::move(samples));
}

} // namespace sonmill
