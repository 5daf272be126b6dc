#pragma once

#include "sonmill/ac3/ac3tables.h"

#include <array>
#include <cstdint>

namespace sonmill::ac3 {

// The parametric bit allocation, computed exactly as a decoder does: from one set of
// exponents it gives the masking curve, and from the curve and an SNR offset the
// pointer (quantiser) of every bin. The curve does not depend on the offset, so the
// search for the offsets that fill a frame reuses it.
struct MaskingCurve
{
    int end = 0; // bins 0..end-1 carry mantissas
    std::array<std::int16_t, kCoefficients> psd {};
    std::array<std::int16_t, kBands> mask {};
    // Runs of equal exponents within a band: the pointer search counts runs, not bins.
    struct Run
    {
        std::uint8_t band;
        std::uint8_t exponent;
        std::uint16_t bins;
    };
    std::array<Run, kCoefficients> runs {};
    int runCount = 0;
};

// snr is csnroffst * 16 + fsnroffst (0 to 1023); a larger value gives every bin as many
// bits or more.
void computeMaskingCurve(const std::uint8_t *exponents, int end, int rateCode, MaskingCurve &curve);
void computePointers(const MaskingCurve &curve, int snr, std::uint8_t *pointers);
// Adds how many bins get each pointer to counts.
void countPointers(const MaskingCurve &curve, int snr, std::array<int, 16> &counts);

// Bits of the mantissas of one block, from its pointer counts over all its channels.
int mantissaBits(const std::array<int, 16> &counts);

} // namespace sonmill::ac3
