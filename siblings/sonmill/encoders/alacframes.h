#pragma once

#include "media/alac/alacformat.h"

#include <cstdint>
#include <vector>

namespace sonmill {

// Encodes frames of interleaved integer samples into ALAC packets (one or two channels, 16,
// 20, 24 or 32 bits): per channel an adaptive prediction started from linear prediction
// coefficients of the frame, the residuals in ALAC's adaptive Golomb code, stereo as a
// weighted mid and a side; a frame that would not shrink is stored as it is.
class AlacFrameEncoder
{
public:
    AlacFrameEncoder(int channels, int bitDepth, std::uint32_t sampleRate);

    // count (1 to frameLength) frames, each sample sign-extended from bitDepth bits; the
    // packet replaces what packet held.
    void encode(const std::int32_t *samples, std::uint32_t count, std::vector<std::uint8_t> &packet);

    // The stream's configuration, its largest packet and average rate as encoded so far.
    Alac::Config config() const;

private:
    struct Channel
    {
        std::vector<std::int32_t> samples; // after the mix, without the shifted-off low bits
        std::vector<std::int32_t> residuals;
        std::int16_t coefs[32] = {};
        int order = 0;
        int denShift = 9;
    };

    void chooseMix(std::uint32_t count);
    void predict(Channel &channel, std::uint32_t count, int chanBits);

    Alac::Config m_config;
    int m_shift = 0; // low bits stored as they are (24 and 32 bits: 8 and 16)
    int m_mixBits = 0;
    int m_mixRes = 0;
    Channel m_channels[2];
    std::vector<std::uint32_t> m_lowBits; // interleaved
    std::vector<std::int32_t> m_trial;
    std::uint64_t m_totalBytes = 0;
    std::uint64_t m_totalFrames = 0;
};

} // namespace sonmill
