#include "sonmill/ac3/ac3exponents.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

namespace sonmill::ac3 {
namespace {

constexpr int kFirstExponentMax = 15; // the absolute first exponent has 4 bits
// Mean exponent change per bin above which a block sends new exponents. A steady tone's
// coefficients swing from block to block with the transform's phase; sharing the smallest
// exponents costs them less than sending new ones.
constexpr int kReuseLimitPerBin = 2;

int groupSize(ExponentStrategy strategy)
{
    return strategy == ExponentStrategy::D45 ? 4 : (strategy == ExponentStrategy::D25 ? 2 : 1);
}

// Groups of three differentials sent after the first exponent.
int groupCount(int end, ExponentStrategy strategy, bool lfe)
{
    if (lfe)
        return 2;
    const int size = groupSize(strategy);
    return (end - 1 + 3 * size - 3) / (3 * size);
}

ExponentStrategy coarser(ExponentStrategy strategy)
{
    return strategy == ExponentStrategy::D15 ? ExponentStrategy::D25 : ExponentStrategy::D45;
}

} // namespace

void extractExponents(const float *coefficients, int end, std::uint8_t *exponents)
{
    for (int bin = 0; bin < end; ++bin) {
        // |c| = (binary 0.1m) * 2^(e - 126) for the float's biased exponent e.
        const int biased = static_cast<int>((std::bit_cast<std::uint32_t>(coefficients[bin]) >> 23) & 0xFF);
        exponents[bin] = static_cast<std::uint8_t>(std::clamp(126 - biased, 0, kMaxExponent));
    }
}

FrameStrategies chooseStrategies(const FrameExponents &raw, int end, const std::array<bool, kBlocksPerFrame> &newAt,
    bool lfe, bool generous, int coarseness)
{
    std::array<bool, kBlocksPerFrame> sends {};
    int runStart = 0;
    for (int block = 0; block < kBlocksPerFrame; ++block) {
        // At the coarsest, only the first block sends exponents, whatever the signal does.
        bool fresh = block == 0 || (coarseness < kCoarsestExponents && newAt[static_cast<std::size_t>(block)]);
        if (!fresh && coarseness < kCoarsestExponents) {
            const BlockExponents &a = raw[static_cast<std::size_t>(block)];
            const BlockExponents &b = raw[static_cast<std::size_t>(runStart)];
            int change = 0;
            for (int bin = 0; bin < end; ++bin)
                change += std::abs(a[static_cast<std::size_t>(bin)] - b[static_cast<std::size_t>(bin)]);
            fresh = change > kReuseLimitPerBin * end;
        }
        sends[static_cast<std::size_t>(block)] = fresh;
        if (fresh)
            runStart = block;
    }

    FrameStrategies strategies {};
    for (int block = 0; block < kBlocksPerFrame; ++block) {
        if (!sends[static_cast<std::size_t>(block)]) {
            strategies[static_cast<std::size_t>(block)] = ExponentStrategy::Reuse;
            continue;
        }
        int run = 1;
        while (block + run < kBlocksPerFrame && !sends[static_cast<std::size_t>(block + run)])
            ++run;
        ExponentStrategy strategy = ExponentStrategy::D15;
        if (!lfe) {
            // Exponents sent once for many blocks are worth their precision; a block that
            // sends its own pays for them alone.
            if (generous)
                strategy = run >= 2 ? ExponentStrategy::D15 : ExponentStrategy::D25;
            else
                strategy
                    = run >= 3 ? ExponentStrategy::D15 : (run == 2 ? ExponentStrategy::D25 : ExponentStrategy::D45);
            for (int step = 0; step < coarseness; ++step)
                strategy = coarser(strategy);
        }
        strategies[static_cast<std::size_t>(block)] = strategy;
    }
    return strategies;
}

void codeExponents(const FrameExponents &raw, int end, const FrameStrategies &strategies, FrameExponents &coded)
{
    for (int block = 0; block < kBlocksPerFrame;) {
        const ExponentStrategy strategy = strategies[static_cast<std::size_t>(block)];
        int run = 1;
        while (block + run < kBlocksPerFrame
            && strategies[static_cast<std::size_t>(block + run)] == ExponentStrategy::Reuse)
            ++run;
        BlockExponents &out = coded[static_cast<std::size_t>(block)];
        for (int bin = 0; bin < end; ++bin) {
            std::uint8_t smallest = raw[static_cast<std::size_t>(block)][static_cast<std::size_t>(bin)];
            for (int b = block + 1; b < block + run; ++b)
                smallest = std::min(smallest, raw[static_cast<std::size_t>(b)][static_cast<std::size_t>(bin)]);
            out[static_cast<std::size_t>(bin)] = smallest;
        }

        // One value per group after the first exponent, then the differential limits.
        const int size = groupSize(strategy);
        const int groups = (end - 1 + size - 1) / size;
        std::array<int, kCoefficients + 1> values {};
        values[0] = std::min<int>(out[0], kFirstExponentMax);
        for (int g = 0; g < groups; ++g) {
            int smallest = kMaxExponent;
            for (int bin = 1 + g * size; bin < std::min(end, 1 + (g + 1) * size); ++bin)
                smallest = std::min<int>(smallest, out[static_cast<std::size_t>(bin)]);
            values[static_cast<std::size_t>(g + 1)] = smallest;
        }
        for (int i = 1; i <= groups; ++i)
            values[static_cast<std::size_t>(i)]
                = std::min(values[static_cast<std::size_t>(i)], values[static_cast<std::size_t>(i - 1)] + 2);
        for (int i = groups - 1; i >= 0; --i)
            values[static_cast<std::size_t>(i)]
                = std::min(values[static_cast<std::size_t>(i)], values[static_cast<std::size_t>(i + 1)] + 2);
        out[0] = static_cast<std::uint8_t>(values[0]);
        for (int bin = 1; bin < end; ++bin)
            out[static_cast<std::size_t>(bin)]
                = static_cast<std::uint8_t>(values[static_cast<std::size_t>((bin - 1) / size + 1)]);
        for (int b = block + 1; b < block + run; ++b)
            coded[static_cast<std::size_t>(b)] = out;
        block += run;
    }
}

int exponentBits(int end, ExponentStrategy strategy, bool lfe)
{
    return 4 + 7 * groupCount(end, strategy, lfe) + (lfe ? 0 : 2);
}

void writeExponents(BitWriter &out, const BlockExponents &exponents, int end, ExponentStrategy strategy, bool lfe)
{
    const int size = groupSize(strategy);
    out.put(exponents[0], 4);
    int previous = exponents[0];
    const int groups = groupCount(end, strategy, lfe);
    for (int g = 0; g < groups; ++g) {
        int code = 0;
        for (int i = 0; i < 3; ++i) {
            const int bin = 1 + (3 * g + i) * size;
            // Past the last bin the exponent stays where it is.
            const int value = bin < end ? exponents[static_cast<std::size_t>(bin)] : previous;
            code = code * 5 + (value - previous + 2);
            previous = value;
        }
        out.put(static_cast<std::uint32_t>(code), 7);
    }
    if (!lfe)
        out.put(0, 2); // gainrng
}

} // namespace sonmill::ac3
