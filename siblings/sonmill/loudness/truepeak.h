#pragma once

#include <cstddef>
#include <vector>

namespace sonmill {

// The true peak of interleaved float frames: the samples and the values between them,
// found by 4x oversampling below 96 kHz (2x below 192 kHz, none above), as BS.1770 asks.
// Our own polyphase filter: the loudness library's own runs several times slower, and
// the peak is wanted on every tagged or normalised conversion.
class TruePeakDetector
{
public:
    TruePeakDetector(int channels, int rate);

    // The highest absolute value of the block; with framePeaks (count floats), also each
    // frame's, over all channels. A frame's value covers the samples up to kDelay frames
    // before it (the filter's reach back in time).
    float process(const float *frames, std::size_t count, float *framePeaks = nullptr);

    // Only the true peak so far (peak()): blocks too quiet to raise it are passed over, so it
    // costs little once the loudest part has gone by. The same peak as process() finds.
    void measure(const float *frames, std::size_t count);

    float peak() const { return m_peak; }

    // How many frames back a frame's value may reach: the filter's taps per phase.
    static constexpr std::size_t kReach = 40;

private:
    float run(const float *frames, std::size_t count, float *framePeaks, bool onlyThePeak);

    int m_channels;
    int m_phaseStep; // 1: phases 1, 2, 3 of the 4x filter; 2: phase 2 only; 0: samples only
    std::vector<float> m_history; // per channel, the last kReach - 1 samples
    std::vector<float> m_line; // one channel's history and block, contiguous
    std::vector<float> m_channelPeaks;
    float m_peak = 0;
};

} // namespace sonmill
