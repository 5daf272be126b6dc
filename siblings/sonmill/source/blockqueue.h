#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

namespace sonmill {

class BlockQueue;

// A block's samples: 32-bit float, or (for a lossless output that keeps 16-bit input as it
// is, and for the check of a lossless output) integers in 32 bits. A queue uses one kind only.
struct BlockSamples
{
    std::vector<float> floats;
    std::vector<std::int32_t> integers;

    bool empty() const { return floats.empty() && integers.empty(); }
};

// One block of decoded audio: interleaved frames. Its storage goes back to the queue it
// came from when it is dropped.
class DecodedBlock
{
public:
    DecodedBlock() = default;
    DecodedBlock(BlockSamples samples, std::size_t frames, std::optional<std::int64_t> streamTime, BlockQueue *home);
    ~DecodedBlock();
    DecodedBlock(DecodedBlock &&other) noexcept;
    DecodedBlock &operator=(DecodedBlock &&other) noexcept;

    const float *frames() const { return m_samples.floats.data(); }
    // Of a queue made for integers.
    const std::int32_t *integerFrames() const { return m_samples.integers.data(); }
    std::size_t frameCount() const { return m_frames; }
    // Stream time of the first frame, or nullopt when the decoder gave none.
    std::optional<std::int64_t> streamTimeNs() const { return m_streamTime; }

private:
    BlockSamples m_samples;
    std::size_t m_frames = 0;
    std::optional<std::int64_t> m_streamTime;
    BlockQueue *m_home = nullptr;
};

// Hands decoded audio from GStreamer's streaming thread to the encoding thread in large
// blocks. Decoders deliver small buffers (an MP3 frame is 1152 samples); handing each one
// over would wake the other thread tens of thousands of times a run. Here the streaming
// thread copies into a block of its own without taking the lock and hands it over whole,
// waking the encoder only when it waits for one. A full queue lets the streaming thread
// sleep until half of it has drained, so on one core the two threads take turns a few
// blocks at a time instead of one buffer at a time.
class BlockQueue
{
public:
    // integers: the blocks hold 16-bit samples widened to 32 bits instead of floats.
    BlockQueue(std::size_t channels, std::size_t blockFrames, std::size_t maxBlocks, bool integers = false);

    bool holdsIntegers() const { return m_integers; }

    // Streaming thread. Copies frames in, waiting while the queue is full; false once the
    // queue is closed. streamTime is that of the first frame given, if known. Floats go
    // into a float queue, 16-bit samples into an integer one.
    bool push(const float *frames, std::size_t count, std::optional<std::int64_t> streamTime);
    bool push(const std::int16_t *frames, std::size_t count, std::optional<std::int64_t> streamTime);
    // 32-bit integers, as the output's check reads a lossless file back.
    bool push(const std::int32_t *frames, std::size_t count, std::optional<std::int64_t> streamTime);
    // Streaming thread: the end of the stream; the partly filled block becomes ready.
    void finish();
    // Unblocks both sides for good (before the pipeline is stopped).
    void close();

    enum class Status { Block, End, Timeout };
    // Encoding thread: the next block, waiting up to timeout.
    Status pop(DecodedBlock &block, std::chrono::milliseconds timeout);

private:
    friend class DecodedBlock;
    void recycle(BlockSamples &&samples);
    template <typename Sample>
    bool append(const Sample *frames, std::size_t count, std::optional<std::int64_t> streamTime);
    bool handOver(); // the filled block; false once closed
    void completeFilling(); // with m_mutex held

    struct Ready
    {
        BlockSamples samples;
        std::size_t frames;
        std::optional<std::int64_t> streamTime;
    };

    const std::size_t m_channels;
    const std::size_t m_blockFrames;
    const std::size_t m_maxBlocks;
    const std::size_t m_resumeAt; // a waiting streaming thread resumes at this many ready blocks
    const bool m_integers;
    std::mutex m_mutex;
    std::condition_variable m_blockReady;
    std::condition_variable m_roomFree;
    std::deque<Ready> m_ready;
    std::vector<BlockSamples> m_spare;
    bool m_producerWaiting = false;
    bool m_consumerWaiting = false;
    bool m_finished = false;
    std::atomic<bool> m_closed = false;
    // The block being filled belongs to the streaming thread alone.
    BlockSamples m_filling;
    std::size_t m_fillingFrames = 0;
    std::optional<std::int64_t> m_fillingTime;
};

} // namespace sonmill
