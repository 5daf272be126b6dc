#include "sonmill/loudness/loudness.h"

#include <ebur128.h>

#include <cmath>
#include <limits>

namespace sonmill {

struct LoudnessMeter::State
{
    explicit State(ebur128_state *state)
        : handle(state)
    { }
    ~State() { ebur128_destroy(&handle); }
    State(const State &) = delete;
    State &operator=(const State &) = delete;
    ebur128_state *handle;
};

LoudnessMeter::LoudnessMeter(int channels, int rate)
    : m_peak(channels, rate)
    , m_channels(channels)
{
    // The library's default order is ours: L R C, LFE left out, Ls Rs; mono counts once,
    // as BS.1770 has it.
    if (ebur128_state *state = ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(rate),
            EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_HISTOGRAM))
        m_state = std::make_unique<State>(state);
}

LoudnessMeter::~LoudnessMeter() = default;

void LoudnessMeter::add(const float *frames, std::size_t count)
{
    if (!m_state || count == 0)
        return;
    ebur128_add_frames_float(m_state->handle, frames, count);
    m_peak.measure(frames, count);
}

void LoudnessMeter::addSixteenBit(const std::int32_t *frames, std::size_t count)
{
    m_widened.resize(count * static_cast<std::size_t>(m_channels));
    for (std::size_t i = 0; i < m_widened.size(); ++i)
        m_widened[i] = static_cast<float>(frames[i]) * (1.0f / 32768.0f);
    add(m_widened.data(), count);
}

Loudness LoudnessMeter::result() const
{
    const LoudnessMeter *self = this;
    return combined(std::span<const LoudnessMeter *const>(&self, 1));
}

Loudness LoudnessMeter::combined(std::span<const LoudnessMeter *const> meters)
{
    Loudness result;
    std::vector<ebur128_state *> states;
    for (const LoudnessMeter *meter : meters) {
        if (!meter->m_state)
            continue;
        states.push_back(meter->m_state->handle);
        result.truePeak = std::max(result.truePeak, static_cast<double>(meter->m_peak.peak()));
    }
    if (states.empty())
        return result;
    double value = 0;
    // Below the absolute gate (silence) or without one whole block, the library answers
    // -inf: no loudness to speak of.
    if (ebur128_loudness_global_multiple(states.data(), states.size(), &value) == EBUR128_SUCCESS
        && std::isfinite(value))
        result.integratedLufs = value;
    if (ebur128_loudness_range_multiple(states.data(), states.size(), &value) == EBUR128_SUCCESS
        && std::isfinite(value))
        result.rangeLu = value;
    return result;
}

double decibels(double linear)
{
    return linear > 0 ? 20.0 * std::log10(linear) : -std::numeric_limits<double>::infinity();
}

} // namespace sonmill
