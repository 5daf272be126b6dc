#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

namespace sonmill {

class BlockQueue;

// One block of decoded audio: interleaved 32-bit float frames. Its storage goes back to
// the queue it came from when it is dropped.
class DecodedBlock
{
public:
    DecodedBlock() = default;
    DecodedBlock(
        std::vector<float> samples, std::size_t frames, std::optional<std::int64_t> streamTime, BlockQueue *home);
    ~DecodedBlock();
    DecodedBlock(DecodedBlock &&other) noexcept;
    DecodedBlock &operator=(DecodedBlock &&other) noexcept;

    const float *frames() const { return m_samples.data(); }
    std::size_t frameCount() const { return m_frames; }
    // Stream time of the first frame, or nullopt when the decoder gave none.
    std::optional<std::int64_t> streamTimeNs() const { return m_streamTime; }

private:
    std::vector<float> m_samples;
    std::size_t m_frames = 0;
    std::optional<std::int64_t> m_streamTime;
    BlockQueue *m_home = nullptr;
};

// Hands decoded audio from GStreamer's streaming thread to the encoding thread in large
// blocks. Decoders deliver small buffers (an MP3 frame is 1152 samples); handing each one
// over would wake the other thread tens of thousands of times a run. Here the streaming
// thread copies into a block and wakes the encoder once per block, and the encoder wakes
// the streaming thread only when a full queue gets room again.
class BlockQueue
{
public:
    BlockQueue(std::size_t channels, std::size_t blockFrames, std::size_t maxBlocks);

    // Streaming thread. Copies frames in, waiting while the queue is full; false once the
    // queue is closed. streamTime is that of the first frame given, if known.
    bool push(const float *frames, std::size_t count, std::optional<std::int64_t> streamTime);
    // Streaming thread: the end of the stream; the partly filled block becomes ready.
    void finish();
    // Unblocks both sides for good (before the pipeline is stopped).
    void close();

    enum class Status { Block, End, Timeout };
    // Encoding thread: the next block, waiting up to timeout.
    Status pop(DecodedBlock &block, std::chrono::milliseconds timeout);

private:
    friend class DecodedBlock;
    void recycle(std::vector<float> &&samples);
    void completeFilling(); // with m_mutex held

    struct Ready
    {
        std::vector<float> samples;
        std::size_t frames;
        std::optional<std::int64_t> streamTime;
    };

    const std::size_t m_channels;
    const std::size_t m_blockFrames;
    const std::size_t m_maxBlocks;
    std::mutex m_mutex;
    std::condition_variable m_blockReady;
    std::condition_variable m_roomFree;
    std::deque<Ready> m_ready;
    std::vector<std::vector<float>> m_spare;
    std::vector<float> m_filling;
    std::size_t m_fillingFrames = 0;
    std::optional<std::int64_t> m_fillingTime;
    bool m_finished = false;
    bool m_closed = false;
};

} // namespace sonmill
