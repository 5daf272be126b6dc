#pragma once

#include "sonmill/loudness/truepeak.h"

#include <cstddef>
#include <deque>
#include <span>
#include <vector>

namespace sonmill {

// Applies a fixed gain, then keeps the true peak at or below a ceiling with a look-ahead
// limiter: the gain comes down smoothly over the look-ahead before a peak arrives (never
// after), and recovers slowly afterwards, so music does not pump. The output runs a fixed
// number of frames behind the input; flush() gives back the rest, frame for frame.
class TruePeakLimiter
{
public:
    TruePeakLimiter(int channels, int rate, double gain, double ceiling);

    // Processed frames; valid until the next call.
    std::span<const float> process(const float *frames, std::size_t count);
    std::span<const float> flush();

    // The lowest gain reduction the limiter applied (1.0: it never acted).
    double deepestReduction() const { return m_deepest; }

private:
    void step(const float *frame, float peak);

    std::size_t m_channels;
    float m_gain;
    float m_ceiling;
    std::size_t m_lookAhead; // frames the gain takes to come down
    std::size_t m_delay; // frames the audio is held back
    std::size_t m_holdWindow; // frames a required gain is held for
    double m_release; // per-frame share of the way back to full gain
    TruePeakDetector m_detector;

    std::size_t m_index = 0; // frames taken so far
    std::deque<std::pair<std::size_t, float>> m_minimum; // rising required gains, by frame
    double m_released = 1.0;
    std::vector<double> m_average; // the last m_lookAhead released gains
    double m_averageSum = 0;
    std::size_t m_averageAt = 0;
    std::vector<float> m_held; // m_delay frames of scaled input, a ring
    std::size_t m_heldAt = 0;
    std::vector<float> m_scaled;
    std::vector<float> m_peaks;
    std::vector<float> m_out;
    double m_deepest = 1.0;
};

} // namespace sonmill
