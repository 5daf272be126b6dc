#include "sonmill/ac3/ac3bitalloc.h"

#include <algorithm>
#include <cstdlib>

namespace sonmill::ac3 {
namespace {

constexpr std::array<std::uint8_t, kCoefficients> makeBandOfBin()
{
    std::array<std::uint8_t, kCoefficients> table {};
    int band = 0;
    for (int bin = 0; bin < kCoefficients; ++bin) {
        while (band + 1 < kBands && bin >= kBandStart[static_cast<std::size_t>(band + 1)])
            ++band;
        table[static_cast<std::size_t>(bin)] = static_cast<std::uint8_t>(band);
    }
    return table;
}
constexpr std::array<std::uint8_t, kCoefficients> kBandOfBin = makeBandOfBin();

int logAdd(int a, int b)
{
    const int difference = a - b;
    const int address = std::min(std::abs(difference) >> 1, 255);
    return (difference >= 0 ? a : b) + kLogAdd[static_cast<std::size_t>(address)];
}

int lowCompensation(int value, int band0, int band1, int band)
{
    if (band < 7) {
        if (band0 + 256 == band1)
            return 384;
        if (band0 > band1)
            return std::max(0, value - 64);
        return value;
    }
    if (band < 20) {
        if (band0 + 256 == band1)
            return 320;
        if (band0 > band1)
            return std::max(0, value - 64);
        return value;
    }
    return std::max(0, value - 128);
}

// The offset mask of one band, as the decoder rounds it.
int offsetMask(int mask, int offset)
{
    constexpr int floor = kFloor[kFloorCode];
    int value = mask - offset - floor;
    if (value < 0)
        value = 0;
    return (value & 0x1fe0) + floor;
}

int offsetOf(int snr)
{
    return (snr - 15 * 16) << 2;
}

template <typename PerBin> void forEachPointer(const MaskingCurve &curve, int snr, PerBin perBin)
{
    const int offset = offsetOf(snr);
    int bin = 0;
    for (int band = 0; bin < curve.end; ++band) {
        const int mask = offsetMask(curve.mask[static_cast<std::size_t>(band)], offset);
        const int last = std::min<int>(kBandStart[static_cast<std::size_t>(band + 1)], curve.end);
        for (; bin < last; ++bin) {
            const int address = std::clamp((curve.psd[static_cast<std::size_t>(bin)] - mask) >> 5, 0, 63);
            perBin(bin, kBapTable[static_cast<std::size_t>(address)]);
        }
    }
}

} // namespace

void computeMaskingCurve(const std::uint8_t *exponents, int end, int rateCode, MaskingCurve &curve)
{
    curve.end = end;
    curve.runCount = 0;
    for (int bin = 0; bin < end; ++bin) {
        curve.psd[static_cast<std::size_t>(bin)] = static_cast<std::int16_t>(3072 - (exponents[bin] << 7));
        const std::uint8_t band = kBandOfBin[static_cast<std::size_t>(bin)];
        MaskingCurve::Run *last = curve.runCount ? &curve.runs[static_cast<std::size_t>(curve.runCount - 1)] : nullptr;
        if (last && last->band == band && last->exponent == exponents[bin])
            ++last->bins;
        else
            curve.runs[static_cast<std::size_t>(curve.runCount++)] = { band, exponents[bin], 1 };
    }

    // Power in each band.
    std::array<int, kBands> bandPsd {};
    int bandEnd = 0;
    for (int bin = 0, band = 0; bin < end; ++band) {
        const int last = std::min<int>(kBandStart[static_cast<std::size_t>(band + 1)], end);
        int sum = curve.psd[static_cast<std::size_t>(bin++)];
        for (; bin < last; ++bin)
            sum = logAdd(sum, curve.psd[static_cast<std::size_t>(bin)]);
        bandPsd[static_cast<std::size_t>(band)] = sum;
        bandEnd = band + 1;
    }
    const auto psd = [&](int band) { return bandPsd[static_cast<std::size_t>(band)]; };

    // Excitation: the spread of each band's power over the bands above it.
    constexpr int fastGain = kFastGain[kFastGainCode];
    constexpr int slowGain = kSlowGain[kSlowGainCode];
    constexpr int fastDecay = kFastDecay[kFastDecayCode];
    constexpr int slowDecay = kSlowDecay[kSlowDecayCode];
    std::array<int, kBands> excitation {};
    int lowComp = 0;
    int fastLeak = 0;
    int slowLeak = 0;
    lowComp = lowCompensation(lowComp, psd(0), psd(1), 0);
    excitation[0] = psd(0) - fastGain - lowComp;
    lowComp = lowCompensation(lowComp, psd(1), psd(2), 1);
    excitation[1] = psd(1) - fastGain - lowComp;
    int begin = 7;
    // The LFE's seven bands have no band 7 to compare band 6 with.
    const auto hasNext = [&](int band) { return bandEnd != 7 || band != 6; };
    for (int band = 2; band < 7; ++band) {
        if (hasNext(band))
            lowComp = lowCompensation(lowComp, psd(band), psd(band + 1), band);
        fastLeak = psd(band) - fastGain;
        slowLeak = psd(band) - slowGain;
        excitation[static_cast<std::size_t>(band)] = fastLeak - lowComp;
        if (hasNext(band) && psd(band) <= psd(band + 1)) {
            begin = band + 1;
            break;
        }
    }
    for (int band = begin; band < std::min(bandEnd, 22); ++band) {
        if (hasNext(band))
            lowComp = lowCompensation(lowComp, psd(band), psd(band + 1), band);
        fastLeak = std::max(fastLeak - fastDecay, psd(band) - fastGain);
        slowLeak = std::max(slowLeak - slowDecay, psd(band) - slowGain);
        excitation[static_cast<std::size_t>(band)] = std::max(fastLeak - lowComp, slowLeak);
    }
    for (int band = 22; band < bandEnd; ++band) {
        fastLeak = std::max(fastLeak - fastDecay, psd(band) - fastGain);
        slowLeak = std::max(slowLeak - slowDecay, psd(band) - slowGain);
        excitation[static_cast<std::size_t>(band)] = std::max(fastLeak, slowLeak);
    }

    // Masking curve: the excitation, raised below the knee, never under the threshold of hearing.
    constexpr int knee = kDbPerBit[kDbPerBitCode];
    const auto &threshold = kHearingThreshold[static_cast<std::size_t>(rateCode)];
    for (int band = 0; band < bandEnd; ++band) {
        int value = excitation[static_cast<std::size_t>(band)];
        if (psd(band) < knee)
            value += (knee - psd(band)) >> 2;
        curve.mask[static_cast<std::size_t>(band)]
            = static_cast<std::int16_t>(std::max<int>(value, threshold[static_cast<std::size_t>(band)]));
    }
}

void computePointers(const MaskingCurve &curve, int snr, std::uint8_t *pointers)
{
    forEachPointer(curve, snr, [pointers](int bin, std::uint8_t pointer) { pointers[bin] = pointer; });
}

void countPointers(const MaskingCurve &curve, int snr, std::array<int, 16> &counts)
{
    // (psd - mask) >> 5 is ((3072 - mask) >> 5) - 4 * exponent: psd steps by 128 per exponent.
    const int offset = offsetOf(snr);
    std::array<int, kBands> base {};
    const int bands = kBandOfBin[static_cast<std::size_t>(curve.end - 1)] + 1;
    for (int band = 0; band < bands; ++band)
        base[static_cast<std::size_t>(band)]
            = (3072 - offsetMask(curve.mask[static_cast<std::size_t>(band)], offset)) >> 5;
    for (int i = 0; i < curve.runCount; ++i) {
        const MaskingCurve::Run &run = curve.runs[static_cast<std::size_t>(i)];
        const int address = std::clamp(base[run.band] - 4 * run.exponent, 0, 63);
        counts[kBapTable[static_cast<std::size_t>(address)]] += run.bins;
    }
}

int mantissaBits(const std::array<int, 16> &counts)
{
    int bits = (counts[1] + 2) / 3 * 5 + (counts[2] + 2) / 3 * 7 + (counts[4] + 1) / 2 * 7;
    for (std::size_t pointer = 3; pointer < counts.size(); ++pointer)
        bits += counts[pointer] * kMantissaBits[pointer];
    return bits;
}

} // namespace sonmill::ac3
