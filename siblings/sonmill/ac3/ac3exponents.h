#pragma once

#include "sonmill/ac3/ac3bitstream.h"
#include "sonmill/ac3/ac3tables.h"

#include <array>
#include <cstdint>

namespace sonmill::ac3 {

// How a block sends a channel's exponents: not at all (the previous block's serve again),
// or new ones, one per bin or shared by groups of two or four bins.
enum class ExponentStrategy : std::uint8_t { Reuse = 0, D15 = 1, D25 = 2, D45 = 3 };

using BlockExponents = std::array<std::uint8_t, kCoefficients>;
using FrameExponents = std::array<BlockExponents, kBlocksPerFrame>;
using FrameStrategies = std::array<ExponentStrategy, kBlocksPerFrame>;

// The exponent of each coefficient: the shift that brings it into [0.5, 1), at most 24.
void extractExponents(const float *coefficients, int end, std::uint8_t *exponents);

// Chooses the strategies of one channel's six blocks. Blocks whose spectrum stays close to
// the one that sent exponents reuse them; a run's length sets how finely the new ones are
// sent. newAt marks blocks that must send new exponents (short transforms, the first).
// coarseness 0 is the finest choice; each step above sends coarser exponents, and the
// coarsest sends them in the first block only.
inline constexpr int kCoarsestExponents = 3;
FrameStrategies chooseStrategies(const FrameExponents &raw, int end, const std::array<bool, kBlocksPerFrame> &newAt,
    bool lfe, bool generous, int coarseness);

// Turns the raw exponents into the ones a decoder will read: each run of blocks takes the
// smallest exponent of its blocks (so every mantissa fits), groups take their smallest,
// and neighbours differ by at most 2. Writes every block's exponents to coded.
void codeExponents(const FrameExponents &raw, int end, const FrameStrategies &strategies, FrameExponents &coded);

// Bits of one channel's new exponents (with gainrng for full-band channels).
int exponentBits(int end, ExponentStrategy strategy, bool lfe);
void writeExponents(BitWriter &out, const BlockExponents &exponents, int end, ExponentStrategy strategy, bool lfe);

} // namespace sonmill::ac3
