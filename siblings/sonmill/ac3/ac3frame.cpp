#include "sonmill/ac3/ac3frame.h"

#include <algorithm>
#include <cmath>

namespace sonmill::ac3 {
namespace {

constexpr int kHeaderBits = 40; // syncword, crc1, fscod, frmsizecod
constexpr int kTrailerBits = 18; // auxdatae, crcrsv, crc2
constexpr int kMaxSnr = 63 * 16 + 15;
constexpr int kDialogueNormalisation = 31; // -31 dB: decoders that apply it leave the level alone
// Side information may take up to this share of a frame before exponents get coarser.
constexpr double kSideInfoShare = 0.5;

// Band edges of the rematrixing without coupling; the last band ends with the coded band.
constexpr std::array<int, 4> kRematrixStart = { 13, 25, 37, 61 };

// The top of the coded band by the bit rate a full-band channel gets (at most).
struct Cutoff
{
    int kbpsPerChannel;
    int hertz;
};
constexpr std::array<Cutoff, 8> kCutoffs = { {
    { 32, 9000 },
    { 48, 12000 },
    { 64, 14000 },
    { 80, 15500 },
    { 96, 16500 },
    { 128, 18000 },
    { 160, 19500 },
    { 1000, 20000 },
} };

std::size_t index(int i)
{
    return static_cast<std::size_t>(i);
}

constexpr std::array<float, kMaxExponent + 1> makePowersOfTwo()
{
    std::array<float, kMaxExponent + 1> powers {};
    float value = 1.0f;
    for (float &power : powers) {
        power = value;
        value *= 2.0f;
    }
    return powers;
}
constexpr std::array<float, kMaxExponent + 1> kPowersOfTwo = makePowersOfTwo();

// A coefficient scaled by its exponent, quantised as pointer `bap` asks.
int quantise(float coefficient, int exponent, int bap)
{
    const float m = coefficient * kPowersOfTwo[index(exponent)];
    if (bap <= 5) {
        const int levels = kQuantiserLevels[index(bap)];
        // m + 1 is not negative, so truncation rounds down.
        const auto level = static_cast<int>((m + 1.0f) * static_cast<float>(levels) * 0.5f);
        return std::clamp(level, 0, levels - 1);
    }
    const int bits = kMantissaBits[index(bap)];
    const int scale = 1 << (bits - 1);
    const int value = static_cast<int>(std::lrint(m * static_cast<float>(scale)));
    return std::clamp(value, -scale, scale - 1) & ((1 << bits) - 1);
}

} // namespace

StreamLayout layoutFor(int channels)
{
    if (channels == 1)
        return { 1, 1, false };
    if (channels == 6)
        return { 7, 5, true };
    return { 2, 2, false };
}

int bandwidthCodeFor(int rate, int kbpsPerChannel)
{
    int hertz = kCutoffs.back().hertz;
    for (const Cutoff &cutoff : kCutoffs)
        if (kbpsPerChannel <= cutoff.kbpsPerChannel) {
            hertz = cutoff.hertz;
            break;
        }
    const double bins = static_cast<double>(hertz) * kWindowLength / rate;
    return std::clamp(static_cast<int>(std::lround((bins - 73) / 3)), 0, 60);
}

FrameEncoder::FrameEncoder(int rate, int channels, int kbps)
    : m_rateCode(sampleRateCode(rate))
    , m_layout(layoutFor(channels))
    , m_channels(channels)
{
    const int perChannel = kbps / m_layout.fullChannels;
    m_bandwidthCode = bandwidthCodeFor(rate, perChannel);
    m_end = 73 + 3 * m_bandwidthCode;
    m_generous = perChannel >= 96;
    for (int c = 0; c < m_layout.fullChannels; ++c)
        m_detectors.emplace_back();
}

void FrameEncoder::analyse(const std::array<const float *, kMaxChannels> &input)
{
    for (int c = 0; c < m_channels; ++c) {
        auto &samples = m_samples[index(c)];
        // The previous frame's last block stays in front as the first transform's overlap.
        std::copy(samples.end() - kBlockSamples, samples.end(), samples.begin());
        std::copy(input[index(c)], input[index(c)] + kFrameSamples, samples.begin() + kBlockSamples);
        for (int block = 0; block < kBlocksPerFrame; ++block) {
            const float *segment = samples.data() + block * kBlockSamples;
            float *coefficients = m_coefficients[index(c)][index(block)].data();
            bool transient = false;
            if (!isLfe(c))
                transient = m_detectors[index(c)].isTransient(segment + kBlockSamples);
            m_shortBlocks[index(c)][index(block)] = transient;
            if (transient)
                m_transform.shortBlocks(segment, coefficients);
            else
                m_transform.longBlock(segment, coefficients);
        }
    }
    for (int block = 0; block < kBlocksPerFrame; ++block) {
        if (m_layout.acmod == 2)
            rematrix(block);
        for (int c = 0; c < m_channels; ++c)
            extractExponents(
                m_coefficients[index(c)][index(block)].data(), channelEnd(c), m_raw[index(c)][index(block)].data());
    }
}

// Sends sum and difference instead of left and right in the bands where one of them is
// much quieter than either side: the quiet one then costs few bits.
void FrameEncoder::rematrix(int block)
{
    float *left = m_coefficients[0][index(block)].data();
    float *right = m_coefficients[1][index(block)].data();
    for (std::size_t band = 0; band < kRematrixStart.size(); ++band) {
        const int start = kRematrixStart[band];
        const int end = band + 1 < kRematrixStart.size() ? kRematrixStart[band + 1] : m_end;
        double l = 0, r = 0, sum = 0, difference = 0;
        for (int bin = start; bin < end; ++bin) {
            const double a = left[bin], b = right[bin];
            l += a * a;
            r += b * b;
            sum += (a + b) * (a + b) * 0.25;
            difference += (a - b) * (a - b) * 0.25;
        }
        const bool use = std::min(sum, difference) < std::min(l, r);
        m_rematrixFlags[index(block)][band] = use;
        if (!use)
            continue;
        for (int bin = start; bin < end; ++bin) {
            const float a = left[bin], b = right[bin];
            left[bin] = (a + b) * 0.5f;
            right[bin] = (a - b) * 0.5f;
        }
    }
}

void FrameEncoder::planExponents(int coarseness)
{
    for (int c = 0; c < m_channels; ++c) {
        const bool lfe = isLfe(c);
        std::array<bool, kBlocksPerFrame> newAt {};
        for (int block = 1; block < kBlocksPerFrame; ++block)
            newAt[index(block)] = m_shortBlocks[index(c)][index(block)] != m_shortBlocks[index(c)][index(block - 1)]
                || m_shortBlocks[index(c)][index(block)];
        m_strategies[index(c)] = chooseStrategies(m_raw[index(c)], channelEnd(c), newAt, lfe, m_generous, coarseness);
        codeExponents(m_raw[index(c)], channelEnd(c), m_strategies[index(c)], m_coded[index(c)]);
        int source = 0;
        for (int block = 0; block < kBlocksPerFrame; ++block) {
            if (m_strategies[index(c)][index(block)] != ExponentStrategy::Reuse) {
                source = block;
                computeMaskingCurve(m_coded[index(c)][index(block)].data(), channelEnd(c), m_rateCode,
                    m_curves[index(c)][index(block)]);
            }
            m_exponentBlock[index(c)][index(block)] = source;
        }
    }
}

void FrameEncoder::writeBsi(BitWriter &out) const
{
    out.put(kBitStreamId, 5);
    out.put(0, 3); // bsmod: complete main service
    out.put(static_cast<std::uint32_t>(m_layout.acmod), 3);
    if ((m_layout.acmod & 1) && m_layout.acmod != 1)
        out.put(0, 2); // cmixlev: -3 dB
    if (m_layout.acmod & 4)
        out.put(0, 2); // surmixlev: -3 dB
    if (m_layout.acmod == 2)
        out.put(0, 2); // dsurmod: not indicated
    out.put(m_layout.lfe ? 1 : 0, 1);
    out.put(kDialogueNormalisation, 5);
    out.put(0, 1); // compre
    out.put(0, 1); // langcode
    out.put(0, 1); // audprodie
    out.put(0, 1); // copyrightb
    out.put(1, 1); // origbs
    out.put(0, 1); // timecod1e
    out.put(0, 1); // timecod2e
    out.put(0, 1); // addbsie
}

void FrameEncoder::writeSideInfo(BitWriter &out, int block) const
{
    const bool first = block == 0;
    const int full = m_layout.fullChannels;
    for (int c = 0; c < full; ++c)
        out.put(m_shortBlocks[index(c)][index(block)] ? 1 : 0, 1); // blksw
    for (int c = 0; c < full; ++c)
        out.put(1, 1); // dithflag: bins without bits get noise, not holes
    out.put(0, 1); // dynrnge
    out.put(first ? 1 : 0, 1); // cplstre
    if (first)
        out.put(0, 1); // cplinu: no coupling
    if (m_layout.acmod == 2) {
        const bool changed = first || m_rematrixFlags[index(block)] != m_rematrixFlags[index(block - 1)];
        out.put(changed ? 1 : 0, 1); // rematstr
        if (changed)
            for (bool flag : m_rematrixFlags[index(block)])
                out.put(flag ? 1 : 0, 1);
    }
    for (int c = 0; c < full; ++c)
        out.put(static_cast<std::uint32_t>(m_strategies[index(c)][index(block)]), 2); // chexpstr
    if (m_layout.lfe)
        out.put(m_strategies[index(full)][index(block)] != ExponentStrategy::Reuse ? 1 : 0, 1); // lfeexpstr
    for (int c = 0; c < full; ++c)
        if (m_strategies[index(c)][index(block)] != ExponentStrategy::Reuse)
            out.put(static_cast<std::uint32_t>(m_bandwidthCode), 6); // chbwcod
    for (int c = 0; c < m_channels; ++c) {
        const ExponentStrategy strategy = m_strategies[index(c)][index(block)];
        if (strategy != ExponentStrategy::Reuse)
            writeExponents(out, m_coded[index(c)][index(block)], channelEnd(c), strategy, isLfe(c));
    }
    out.put(first ? 1 : 0, 1); // baie
    if (first) {
        out.put(kSlowDecayCode, 2);
        out.put(kFastDecayCode, 2);
        out.put(kSlowGainCode, 2);
        out.put(kDbPerBitCode, 2);
        out.put(kFloorCode, 3);
    }
    out.put(first ? 1 : 0, 1); // snroffste
    if (first) {
        out.put(static_cast<std::uint32_t>(m_snr >> 4), 6); // csnroffst
        for (int c = 0; c < m_channels; ++c) {
            out.put(static_cast<std::uint32_t>(m_channelSnr[index(c)] & 15), 4); // fsnroffst
            out.put(kFastGainCode, 3);
        }
    }
    out.put(0, 1); // deltbaie
    out.put(0, 1); // skiple
}

FrameEncoder::BlockCounts FrameEncoder::channelCounts(int channel, int snr) const
{
    BlockCounts counts {};
    for (int block = 0; block < kBlocksPerFrame; ++block) {
        const int source = m_exponentBlock[index(channel)][index(block)];
        if (source == block)
            countPointers(m_curves[index(channel)][index(block)], snr, counts[index(block)]);
        else
            counts[index(block)] = counts[index(source)];
    }
    return counts;
}

std::array<int, kBlocksPerFrame> FrameEncoder::mantissaBitsOf(const std::array<BlockCounts, kMaxChannels> &counts) const
{
    std::array<int, kBlocksPerFrame> bits {};
    for (int block = 0; block < kBlocksPerFrame; ++block) {
        std::array<int, 16> total {};
        for (int c = 0; c < m_channels; ++c)
            for (std::size_t p = 0; p < total.size(); ++p)
                total[p] += counts[index(c)][index(block)][p];
        bits[index(block)] = mantissaBits(total);
    }
    return bits;
}

bool FrameEncoder::Budget::holds(const std::array<int, kBlocksPerFrame> &bits) const
{
    int total = 0;
    for (int block = 0; block < kBlocksPerFrame; ++block)
        total += bits[index(block)];
    return total <= available && side[0] + bits[0] + side[1] + bits[1] <= firstBlocksRoom;
}

// With the shared offset settled, each channel's fine offset rises while the frame still
// holds it: the last bits go to whichever channels they fit.
void FrameEncoder::raiseFineOffsets(const Budget &budget)
{
    std::array<BlockCounts, kMaxChannels> counts {};
    for (int c = 0; c < m_channels; ++c) {
        m_channelSnr[index(c)] = m_snr;
        counts[index(c)] = channelCounts(c, m_snr);
    }
    for (bool raised = true; raised;) {
        raised = false;
        for (int c = 0; c < m_channels; ++c) {
            if ((m_channelSnr[index(c)] & 15) == 15)
                continue;
            const BlockCounts kept = counts[index(c)];
            counts[index(c)] = channelCounts(c, m_channelSnr[index(c)] + 1);
            if (budget.holds(mantissaBitsOf(counts))) {
                ++m_channelSnr[index(c)];
                raised = true;
            } else {
                counts[index(c)] = kept;
            }
        }
    }
}

// The largest SNR offset, shared by all channels, whose mantissas fit the budget.
int FrameEncoder::findSnr(const Budget &budget) const
{
    const auto fits = [&](int snr) {
        std::array<BlockCounts, kMaxChannels> counts {};
        for (int c = 0; c < m_channels; ++c)
            counts[index(c)] = channelCounts(c, snr);
        return budget.holds(mantissaBitsOf(counts));
    };
    if (!fits(0))
        return -1;
    // Neighbouring frames need much the same offset: gallop out from the last one to
    // bracket the answer, then halve.
    int low = 0;
    int high = kMaxSnr + 1; // fits(low), and high does not or is out of range
    const int guess = std::clamp(m_snr, 0, kMaxSnr);
    if (fits(guess)) {
        low = guess;
        for (int step = 1; low + step <= kMaxSnr; step *= 2) {
            if (!fits(low + step)) {
                high = low + step;
                break;
            }
            low += step;
        }
    } else {
        high = guess;
        for (int step = 1; high - step > 0; step *= 2) {
            if (fits(high - step)) {
                low = high - step;
                break;
            }
            high -= step;
        }
    }
    while (high - low > 1) {
        const int middle = (low + high) / 2;
        if (fits(middle))
            low = middle;
        else
            high = middle;
    }
    return low;
}

void FrameEncoder::encode(const std::array<const float *, kMaxChannels> &input, int words, int frameSizeCode,
    std::vector<std::uint8_t> &frame)
{
    analyse(input);

    BitWriter counter;
    writeBsi(counter);
    const int fixedBits = kHeaderBits + static_cast<int>(counter.bits()) + kTrailerBits;
    const int frameBits = words * 16;
    const int fiveEighthsBits = 16 * ((words >> 1) + (words >> 3));
    Budget budget;
    for (int coarseness = 0;; ++coarseness) {
        planExponents(coarseness);
        std::array<int, kBlocksPerFrame> side {};
        int sideTotal = 0;
        for (int block = 0; block < kBlocksPerFrame; ++block) {
            BitWriter blockCounter;
            writeSideInfo(blockCounter, block);
            side[index(block)] = static_cast<int>(blockCounter.bits());
            sideTotal += side[index(block)];
        }
        const bool lastChance = coarseness == kCoarsestExponents;
        if (!lastChance && sideTotal > kSideInfoShare * frameBits)
            continue;
        budget = { frameBits - fixedBits - sideTotal,
            fiveEighthsBits - kHeaderBits - (fixedBits - kHeaderBits - kTrailerBits), side };
        m_snr = findSnr(budget);
        if (m_snr >= 0 || lastChance)
            break;
    }
    m_snr = std::max(m_snr, 0);
    raiseFineOffsets(budget);

    for (int c = 0; c < m_channels; ++c)
        for (int block = 0; block < kBlocksPerFrame; ++block)
            if (m_exponentBlock[index(c)][index(block)] == block)
                computePointers(m_curves[index(c)][index(block)], m_channelSnr[index(c)],
                    m_pointers[index(c)][index(block)].data());

    const std::size_t start = frame.size();
    frame.resize(start + 2 * static_cast<std::size_t>(words));
    BitWriter out(frame.data() + start, 2 * static_cast<std::size_t>(words));
    out.put(kSyncWord, 16);
    out.put(0, 16); // crc1, set when the frame is complete
    out.put(static_cast<std::uint32_t>(m_rateCode), 2);
    out.put(static_cast<std::uint32_t>(frameSizeCode), 6);
    writeBsi(out);
    for (int block = 0; block < kBlocksPerFrame; ++block) {
        writeSideInfo(out, block);
        writeMantissas(out, block);
    }
    out.padTo(static_cast<std::size_t>(frameBits - kTrailerBits)); // unused bits
    out.put(0, 1); // auxdatae
    out.put(0, 1); // crcrsv
    out.put(0, 16); // crc2
    setFrameChecks(frame.data() + start, static_cast<std::size_t>(words));
}

void FrameEncoder::writeMantissas(BitWriter &out, int block)
{
    // Pointers 1, 2 and 4 pack three, three and two values into one code, sent where the
    // group's first value falls: the block's values are quantised first, then written.
    std::array<int, 3> groupCount {};
    std::array<int, 3> groupSent {};
    const auto groupOf = [](int bap) { return bap == 1 ? 0 : (bap == 2 ? 1 : (bap == 4 ? 2 : -1)); };
    int count = 0;
    for (int c = 0; c < m_channels; ++c) {
        const auto &pointers = m_pointers[index(c)][index(m_exponentBlock[index(c)][index(block)])];
        const auto &exponents = m_coded[index(c)][index(block)];
        const auto &coefficients = m_coefficients[index(c)][index(block)];
        for (int bin = 0; bin < channelEnd(c); ++bin) {
            const int bap = pointers[index(bin)];
            if (bap == 0)
                continue;
            const int value = quantise(coefficients[index(bin)], exponents[index(bin)], bap);
            m_mantissas[index(count++)] = { static_cast<std::uint8_t>(bap), static_cast<std::int16_t>(value) };
            if (const int group = groupOf(bap); group >= 0)
                m_groupValues[index(group)][index(groupCount[index(group)]++)] = static_cast<std::int16_t>(value);
        }
    }
    for (int i = 0; i < count; ++i) {
        const Mantissa &mantissa = m_mantissas[index(i)];
        const int group = groupOf(mantissa.bap);
        if (group < 0) {
            out.put(static_cast<std::uint32_t>(mantissa.value), kMantissaBits[mantissa.bap]);
            continue;
        }
        const int members = mantissa.bap == 4 ? 2 : 3;
        int &sent = groupSent[index(group)];
        if (sent % members == 0) {
            const int levels = kQuantiserLevels[mantissa.bap];
            int code = 0;
            for (int m = 0; m < members; ++m) {
                const int at = sent + m;
                code = code * levels + (at < groupCount[index(group)] ? m_groupValues[index(group)][index(at)] : 0);
            }
            out.put(static_cast<std::uint32_t>(code), mantissa.bap == 1 ? 5 : 7);
        }
        ++sent;
    }
}

} // namespace sonmill::ac3
