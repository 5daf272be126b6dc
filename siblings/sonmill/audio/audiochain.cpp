#include "sonmill/audio/audiochain.h"

namespace sonmill {

AudioChain::AudioChain(const std::vector<GstAudioChannelPosition> &input, int outputChannels, int inputRate,
    int outputRate, double gain, bool inputWithinFullScale, bool clip)
    : m_mixer(input, outputChannels)
    , m_inputRate(inputRate)
    , m_outputRate(outputRate)
    , m_gain(static_cast<float>(gain))
    , m_clip(clip)
    , m_unchanged((inputWithinFullScale || !clip) && m_gain == 1.0f && inputRate == outputRate && m_mixer.passThrough())
{
    if (inputRate != outputRate)
        m_resampler = createResampler(inputRate, outputRate, outputChannels);
}

std::span<const float> AudioChain::process(const float *in, std::size_t count)
{
    const auto channels = static_cast<std::size_t>(m_mixer.outputChannels());
    if (m_unchanged)
        return { in, count * channels };
    const float *mixed = in;
    if (!m_mixer.passThrough()) {
        m_mixed.resize(count * channels);
        m_mixer.mix(in, m_mixed.data(), count);
        mixed = m_mixed.data();
    }
    if (!m_resampler)
        return finish(mixed, count * channels);
    std::size_t produced = 0;
    const float *resampled = m_resampler->process(mixed, count, produced);
    return finish(resampled, produced * channels);
}

std::span<const float> AudioChain::flush()
{
    if (!m_resampler)
        return {};
    std::size_t produced = 0;
    const float *tail = m_resampler->process(nullptr, 0, produced);
    return finish(tail, produced * static_cast<std::size_t>(m_mixer.outputChannels()));
}

// Scales by the volume and clips to full scale, so a loud setting flattens peaks instead
// of wrapping them round when they become integers.
std::span<const float> AudioChain::finish(const float *samples, std::size_t sampleCount)
{
    m_ready.resize(sampleCount);
    if (!m_clip) {
        for (std::size_t i = 0; i < sampleCount; ++i)
            m_ready[i] = samples[i] * m_gain;
        return { m_ready.data(), sampleCount };
    }
    for (std::size_t i = 0; i < sampleCount; ++i) {
        const float v = samples[i] * m_gain;
        m_ready[i] = v > 1.0f ? 1.0f : (v < -1.0f ? -1.0f : v);
    }
    return { m_ready.data(), sampleCount };
}

} // namespace sonmill
