#pragma once

#include <gst/audio/audio.h>

#include <vector>

namespace sonmill {

// Mixes interleaved float frames from the input's channel layout to 1, 2 or 6 output
// channels (or passes them through when nothing changes). Mono to stereo duplicates;
// stereo to mono averages; several channels fold into stereo with the usual weights
// (centre and surrounds at -3 dB, LFE left out), scaled down so no sum can clip. The
// output order is the WAV order: L R for stereo, L R C LFE Ls Rs for 5.1.
class ChannelMixer
{
public:
    ChannelMixer(const std::vector<GstAudioChannelPosition> &input, int outputChannels);

    bool passThrough() const { return m_passThrough; }
    int inputChannels() const { return m_inputs; }
    int outputChannels() const { return m_outputs; }

    // Mixes count frames from in to out (out holds count * outputChannels() floats).
    void mix(const float *in, float *out, std::size_t count) const;

    // Weight of input channel i in output channel o (for tests and diagnostics).
    float weight(int output, int input) const { return m_matrix[static_cast<std::size_t>(output * m_inputs + input)]; }

private:
    int m_inputs;
    int m_outputs;
    bool m_passThrough = false;
    std::vector<float> m_matrix; // m_outputs rows of m_inputs weights
};

} // namespace sonmill
