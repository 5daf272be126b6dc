#include "sonmill/loudness/limiter.h"

#include <algorithm>
#include <cmath>

namespace sonmill {
namespace {

constexpr double kLookAheadSeconds = 0.005;
constexpr double kReleaseSeconds = 0.2;

} // namespace

TruePeakLimiter::TruePeakLimiter(int channels, int rate, double gain, double ceiling)
    : m_channels(static_cast<std::size_t>(channels))
    , m_gain(static_cast<float>(gain))
    , m_ceiling(static_cast<float>(ceiling))
    , m_lookAhead(std::max<std::size_t>(1, static_cast<std::size_t>(kLookAheadSeconds * rate)))
    // A frame's peak covers up to TruePeakDetector::kReach frames before it: the audio is
    // held back so that the whole ramp down lies before the oldest of them, and the
    // required gain is held until the newest has gone out.
    , m_delay(m_lookAhead + TruePeakDetector::kReach)
    , m_holdWindow(m_delay + 1)
    , m_release(1.0 - std::exp(-1.0 / (kReleaseSeconds * rate)))
    , m_detector(channels, rate)
    , m_average(m_lookAhead, 1.0)
    , m_averageSum(static_cast<double>(m_lookAhead))
    , m_held(m_delay * m_channels, 0.0f)
{ }

std::span<const float> TruePeakLimiter::process(const float *frames, std::size_t count)
{
    m_scaled.resize(count * m_channels);
    for (std::size_t i = 0; i < m_scaled.size(); ++i)
        m_scaled[i] = frames[i] * m_gain;
    m_peaks.resize(count);
    m_detector.process(m_scaled.data(), count, m_peaks.data());
    m_out.clear();
    m_out.reserve(count * m_channels);
    for (std::size_t i = 0; i < count; ++i)
        step(m_scaled.data() + i * m_channels, m_peaks[i]);
    return m_out;
}

std::span<const float> TruePeakLimiter::flush()
{
    // Silence pushes the held audio out; the detector still sees the last frames' ringing.
    const std::size_t pending = m_delay;
    std::vector<float> silence(pending * m_channels, 0.0f);
    m_peaks.resize(pending);
    m_detector.process(silence.data(), pending, m_peaks.data());
    m_out.clear();
    for (std::size_t i = 0; i < pending; ++i)
        step(silence.data() + i * m_channels, m_peaks[i]);
    return m_out;
}

void TruePeakLimiter::step(const float *frame, float peak)
{
    const float required = peak > m_ceiling ? m_ceiling / peak : 1.0f;
    // The least gain required within the hold window (a monotonic queue).
    while (!m_minimum.empty() && m_minimum.back().second >= required)
        m_minimum.pop_back();
    m_minimum.emplace_back(m_index, required);
    while (m_minimum.front().first + m_holdWindow <= m_index)
        m_minimum.pop_front();
    const double held = m_minimum.front().second;

    // Down at once, back up slowly ...
    m_released = held < m_released ? held : m_released + (held - m_released) * m_release;
    // ... and the way down spread over the look-ahead by a moving average.
    m_averageSum += m_released - m_average[m_averageAt];
    m_average[m_averageAt] = m_released;
    m_averageAt = (m_averageAt + 1) % m_lookAhead;
    const double gain = std::min(1.0, m_averageSum / static_cast<double>(m_lookAhead));
    m_deepest = std::min(m_deepest, gain);

    float *slot = m_held.data() + m_heldAt * m_channels;
    if (m_index >= m_delay) {
        for (std::size_t c = 0; c < m_channels; ++c) {
            const float v = static_cast<float>(slot[c] * gain);
            m_out.push_back(std::clamp(v, -1.0f, 1.0f));
        }
    }
    std::copy(frame, frame + m_channels, slot);
    m_heldAt = (m_heldAt + 1) % m_delay;
    ++m_index;
}

} // namespace sonmill
