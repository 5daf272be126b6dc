#pragma once

#include "sonmill/ac3/ac3bitalloc.h"
#include "sonmill/ac3/ac3exponents.h"
#include "sonmill/ac3/ac3transform.h"

#include <array>
#include <cstdint>
#include <vector>

namespace sonmill::ac3 {

// The audio coding modes we write: 1/0, 2/0 and 3/2 with the LFE.
struct StreamLayout
{
    int acmod;
    int fullChannels;
    bool lfe;
};
StreamLayout layoutFor(int channels);

// The bandwidth code (the coded band ends before bin 73 + 3 * code), chosen by the bit rate
// each full-band channel gets, so that the frame's bits go where they are heard.
int bandwidthCodeFor(int rate, int kbpsPerChannel);

// Encodes one frame (1536 samples a channel) at a time. Keeps what crosses frames: the
// last 256 samples of each channel (the transforms overlap by half) and the transient
// detectors' state.
class FrameEncoder
{
public:
    FrameEncoder(int rate, int channels, int kbps);

    // input[c] holds 1536 new samples of channel c in the stream's order (L C R Ls Rs,
    // then the LFE). Appends a frame of `words` 16-bit words to frame.
    void encode(const std::array<const float *, kMaxChannels> &input, int words, int frameSizeCode,
        std::vector<std::uint8_t> &frame);

private:
    void analyse(const std::array<const float *, kMaxChannels> &input);
    void rematrix(int block);
    void planExponents(int coarseness);
    int channelEnd(int channel) const { return isLfe(channel) ? kLfeEndBin : m_end; }
    bool isLfe(int channel) const { return m_layout.lfe && channel == m_layout.fullChannels; }
    void writeBsi(BitWriter &out) const;
    void writeSideInfo(BitWriter &out, int block) const;

    // What the mantissas may take: the frame's room after the side information, and the
    // room of blocks 0 and 1 in its first 5/8 (a decoder may start on them once crc1 has
    // checked).
    struct Budget
    {
        int available = 0;
        int firstBlocksRoom = 0;
        std::array<int, kBlocksPerFrame> side {};
        bool holds(const std::array<int, kBlocksPerFrame> &mantissaBits) const;
    };
    // How many bins of one channel get each pointer, per block, at an SNR offset.
    using BlockCounts = std::array<std::array<int, 16>, kBlocksPerFrame>;
    BlockCounts channelCounts(int channel, int snr) const;
    std::array<int, kBlocksPerFrame> mantissaBitsOf(const std::array<BlockCounts, kMaxChannels> &counts) const;
    int findSnr(const Budget &budget) const;
    void raiseFineOffsets(const Budget &budget);
    void writeMantissas(BitWriter &out, int block);

    int m_rateCode;
    StreamLayout m_layout;
    int m_channels;
    int m_bandwidthCode;
    int m_end;
    bool m_generous;

    Transform m_transform;
    std::vector<TransientDetector> m_detectors;
    std::array<std::array<float, kBlockSamples + kFrameSamples>, kMaxChannels> m_samples {};

    using BlockCoefficients = std::array<float, kCoefficients>;
    std::array<std::array<BlockCoefficients, kBlocksPerFrame>, kMaxChannels> m_coefficients {};
    std::array<std::array<bool, kBlocksPerFrame>, kMaxChannels> m_shortBlocks {};
    std::array<std::array<bool, 4>, kBlocksPerFrame> m_rematrixFlags {};
    std::array<FrameExponents, kMaxChannels> m_raw {};
    std::array<FrameExponents, kMaxChannels> m_coded {};
    std::array<FrameStrategies, kMaxChannels> m_strategies {};
    // The block whose exponents (and so masking curve and pointers) each block uses.
    std::array<std::array<int, kBlocksPerFrame>, kMaxChannels> m_exponentBlock {};
    std::array<std::array<MaskingCurve, kBlocksPerFrame>, kMaxChannels> m_curves {};
    std::array<std::array<std::array<std::uint8_t, kCoefficients>, kBlocksPerFrame>, kMaxChannels> m_pointers {};
    int m_snr = 0; // csnroffst * 16 + fsnroffst shared by all channels, before raiseFineOffsets
    std::array<int, kMaxChannels> m_channelSnr {};

    // One block's quantised mantissas, in the order they are sent.
    struct Mantissa
    {
        std::uint8_t bap;
        std::int16_t value;
    };
    std::array<Mantissa, kMaxChannels * kCoefficients> m_mantissas {};
    std::array<std::array<std::int16_t, kMaxChannels * kCoefficients>, 3> m_groupValues {};
};

} // namespace sonmill::ac3
