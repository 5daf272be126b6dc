#pragma once

#include "sonmill/audio/channelmixer.h"
#include "sonmill/audio/resampler.h"

#include <gst/audio/audio.h>

#include <memory>
#include <span>
#include <vector>

namespace sonmill {

// What happens to the decoded audio before it is encoded: channel mixing, sample-rate
// conversion, then the volume, clipped to full scale. It runs on GStreamer's streaming
// thread, next to the decoder, so on a machine with a second core its cost stays off the
// encoder's thread.
class AudioChain
{
public:
    // inputWithinFullScale: the samples come from integers, so none lies beyond full scale.
    // clip false: the samples go on beyond full scale (a limiter further on takes them).
    AudioChain(const std::vector<GstAudioChannelPosition> &input, int outputChannels, int inputRate, int outputRate,
        double gain, bool inputWithinFullScale = false, bool clip = true);

    // False when the resampler could not be set up.
    bool valid() const { return m_inputRate == m_outputRate || m_resampler != nullptr; }
    int outputChannels() const { return m_mixer.outputChannels(); }
    // Nothing to mix, resample or scale: the samples go on exactly as they came.
    bool unchanged() const { return m_unchanged; }

    // The processed samples for count input frames (interleaved, in the output's channel
    // order); valid until the next call.
    std::span<const float> process(const float *in, std::size_t count);
    // At the end: what the resampler still held back.
    std::span<const float> flush();

private:
    std::span<const float> finish(const float *samples, std::size_t sampleCount);

    ChannelMixer m_mixer;
    int m_inputRate;
    int m_outputRate;
    std::unique_ptr<Resampler> m_resampler;
    float m_gain;
    bool m_clip;
    bool m_unchanged; // nothing to do: the input goes on as it is
    std::vector<float> m_mixed;
    std::vector<float> m_ready;
};

} // namespace sonmill
