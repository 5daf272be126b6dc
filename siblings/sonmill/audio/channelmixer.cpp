#include "sonmill/audio/channelmixer.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace sonmill {
namespace {

// The six places of a 5.1 layout, which every other layout is first folded into.
enum Bus { kL, kR, kC, kLfe, kLs, kRs, kBusCount };
using BusWeights = std::array<float, kBusCount>;

constexpr float kMinus3dB = 0.70710678f;

BusWeights busOf(GstAudioChannelPosition position)
{
    BusWeights w {};
    switch (position) {
    case GST_AUDIO_CHANNEL_POSITION_MONO:
    case GST_AUDIO_CHANNEL_POSITION_FRONT_CENTER:
    case GST_AUDIO_CHANNEL_POSITION_TOP_FRONT_CENTER:
    case GST_AUDIO_CHANNEL_POSITION_BOTTOM_FRONT_CENTER:
    case GST_AUDIO_CHANNEL_POSITION_TOP_CENTER:
        w[kC] = 1;
        break;
    case GST_AUDIO_CHANNEL_POSITION_FRONT_LEFT:
    case GST_AUDIO_CHANNEL_POSITION_FRONT_LEFT_OF_CENTER:
    case GST_AUDIO_CHANNEL_POSITION_WIDE_LEFT:
    case GST_AUDIO_CHANNEL_POSITION_TOP_FRONT_LEFT:
    case GST_AUDIO_CHANNEL_POSITION_BOTTOM_FRONT_LEFT:
        w[kL] = 1;
        break;
    case GST_AUDIO_CHANNEL_POSITION_FRONT_RIGHT:
    case GST_AUDIO_CHANNEL_POSITION_FRONT_RIGHT_OF_CENTER:
    case GST_AUDIO_CHANNEL_POSITION_WIDE_RIGHT:
    case GST_AUDIO_CHANNEL_POSITION_TOP_FRONT_RIGHT:
    case GST_AUDIO_CHANNEL_POSITION_BOTTOM_FRONT_RIGHT:
        w[kR] = 1;
        break;
    case GST_AUDIO_CHANNEL_POSITION_LFE1:
    case GST_AUDIO_CHANNEL_POSITION_LFE2:
        w[kLfe] = 1;
        break;
    case GST_AUDIO_CHANNEL_POSITION_REAR_LEFT:
    case GST_AUDIO_CHANNEL_POSITION_SIDE_LEFT:
    case GST_AUDIO_CHANNEL_POSITION_TOP_REAR_LEFT:
    case GST_AUDIO_CHANNEL_POSITION_TOP_SIDE_LEFT:
    case GST_AUDIO_CHANNEL_POSITION_SURROUND_LEFT:
        w[kLs] = 1;
        break;
    case GST_AUDIO_CHANNEL_POSITION_REAR_RIGHT:
    case GST_AUDIO_CHANNEL_POSITION_SIDE_RIGHT:
    case GST_AUDIO_CHANNEL_POSITION_TOP_REAR_RIGHT:
    case GST_AUDIO_CHANNEL_POSITION_TOP_SIDE_RIGHT:
    case GST_AUDIO_CHANNEL_POSITION_SURROUND_RIGHT:
        w[kRs] = 1;
        break;
    case GST_AUDIO_CHANNEL_POSITION_REAR_CENTER:
    case GST_AUDIO_CHANNEL_POSITION_TOP_REAR_CENTER:
        w[kLs] = kMinus3dB;
        w[kRs] = kMinus3dB;
        break;
    default: // unknown places are heard in the middle
        w[kC] = 1;
        break;
    }
    return w;
}

// Bus to stereo: the usual fold with centre and surrounds at -3 dB, LFE left out.
constexpr std::array<BusWeights, 2> kBusToStereo = { {
    { 1, 0, kMinus3dB, 0, kMinus3dB, 0 },
    { 0, 1, kMinus3dB, 0, 0, kMinus3dB },
} };

// Scales all rows by one factor so that the loudest row's weights sum to at most 1:
// the mix never clips and the balance between channels stays.
void normalise(std::vector<float> &matrix, int outputs, int inputs)
{
    float largest = 0;
    for (int o = 0; o < outputs; ++o) {
        float sum = 0;
        for (int i = 0; i < inputs; ++i)
            sum += std::fabs(matrix[static_cast<std::size_t>(o * inputs + i)]);
        largest = std::max(largest, sum);
    }
    if (largest > 1.0f)
        for (float &w : matrix)
            w /= largest;
}

bool isStereoPair(const std::vector<GstAudioChannelPosition> &p)
{
    return p.size() == 2 && p[0] == GST_AUDIO_CHANNEL_POSITION_FRONT_LEFT
        && p[1] == GST_AUDIO_CHANNEL_POSITION_FRONT_RIGHT;
}

// Whether a layout already is what the output order means for its count. Counts other
// than 1, 2 and 6 are only ever kept as they are (PCM and FLAC), in the decoder's order.
bool isUsualOrder(const std::vector<GstAudioChannelPosition> &p)
{
    if (p.size() == 2)
        return isStereoPair(p);
    if (p.size() == 6) {
        for (std::size_t i = 0; i < p.size(); ++i)
            if (busOf(p[i])[i] != 1.0f)
                return false;
    }
    return true;
}

} // namespace

ChannelMixer::ChannelMixer(const std::vector<GstAudioChannelPosition> &input, int outputChannels)
    : m_inputs(static_cast<int>(input.size()))
    , m_outputs(outputChannels)
    , m_matrix(static_cast<std::size_t>(m_inputs * m_outputs), 0.0f)
{
    auto at = [&](int o, int i) -> float & { return m_matrix[static_cast<std::size_t>(o * m_inputs + i)]; };

    if (m_inputs == m_outputs && isUsualOrder(input)) {
        m_passThrough = true;
        for (int c = 0; c < m_inputs; ++c)
            at(c, c) = 1;
        return;
    }
    if (m_inputs == 1) {
        if (m_outputs == 2) {
            at(0, 0) = at(1, 0) = 1; // the same signal on both sides
        } else {
            at(m_outputs == 6 ? kC : 0, 0) = 1;
        }
        return;
    }
    if (isStereoPair(input) && m_outputs == 1) {
        at(0, 0) = at(0, 1) = 0.5f;
        return;
    }

    for (int i = 0; i < m_inputs; ++i) {
        const BusWeights bus = busOf(input[static_cast<std::size_t>(i)]);
        if (m_outputs == 6) {
            for (int b = 0; b < kBusCount; ++b)
                at(b, i) += bus[static_cast<std::size_t>(b)];
            continue;
        }
        float stereo[2] = { 0, 0 };
        for (int side = 0; side < 2; ++side)
            for (int b = 0; b < kBusCount; ++b)
                stereo[side] += kBusToStereo[static_cast<std::size_t>(side)][static_cast<std::size_t>(b)]
                    * bus[static_cast<std::size_t>(b)];
        if (m_outputs == 2) {
            at(0, i) = stereo[0];
            at(1, i) = stereo[1];
        } else if (m_outputs == 1) {
            at(0, i) = 0.5f * (stereo[0] + stereo[1]);
        } else {
            // Other counts only arise as pass-through; keep channel for channel.
            if (i < m_outputs)
                at(i, i) = 1;
        }
    }
    normalise(m_matrix, m_outputs, m_inputs);
}

void ChannelMixer::mix(const float *in, float *out, std::size_t count) const
{
    const auto inputs = static_cast<std::size_t>(m_inputs);
    const auto outputs = static_cast<std::size_t>(m_outputs);
    if (m_inputs == 1 && m_outputs == 2) {
        for (std::size_t f = 0; f < count; ++f)
            out[2 * f] = out[2 * f + 1] = in[f];
        return;
    }
    for (std::size_t f = 0; f < count; ++f) {
        const float *frame = in + f * inputs;
        float *target = out + f * outputs;
        for (std::size_t o = 0; o < outputs; ++o) {
            const float *row = m_matrix.data() + o * inputs;
            float sum = 0;
            for (std::size_t i = 0; i < inputs; ++i)
                sum += row[i] * frame[i];
            target[o] = sum;
        }
    }
}

} // namespace sonmill
