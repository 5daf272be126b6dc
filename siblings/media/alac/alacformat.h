#pragma once

// Apple Lossless (ALAC) as its public description lays it out: the 24-byte configuration
// ("magic cookie") an MP4 'alac' box or a CAF 'kuki' chunk carries, and the constants of the
// adaptive Golomb coding and the prediction that encoder and decoder share. Plain C++
// without the C++ runtime: the GStreamer plugin that decodes it maps none.

#include <cstddef>
#include <cstdint>

namespace Alac {

inline constexpr std::uint32_t kDefaultFrameLength = 4096;
inline constexpr std::size_t kCookieSize = 24;

// The element tags that open each part of a packet.
enum Element : std::uint32_t {
    kSingleChannel = 0,
    kChannelPair = 1,
    kCoupling = 2,
    kLowFrequency = 3,
    kDataStream = 4,
    kProgramConfig = 5,
    kFill = 6,
    kEnd = 7,
};

// The adaptive Golomb coder's tuning, as every encoder writes it.
inline constexpr std::uint8_t kHistoryMult = 40; // pb
inline constexpr std::uint8_t kInitialHistory = 10; // mb
inline constexpr std::uint8_t kRiceLimit = 14; // kb
inline constexpr std::uint16_t kMaxRun = 255;

// How the history of magnitudes steers the Golomb parameter.
inline constexpr int kHistoryShift = 9; // QBSHIFT
inline constexpr std::uint32_t kHistoryUnit = 1u << kHistoryShift; // QB
inline constexpr int kZeroRunMult = 2; // MMULSHIFT
inline constexpr int kZeroRunDenShift = kHistoryShift - kZeroRunMult - 1;
inline constexpr std::uint32_t kZeroRunOffset = 1u << (kZeroRunDenShift - 2);
inline constexpr int kZeroRunBitOffset = 24;
inline constexpr std::uint32_t kMaxPrefix = 9; // a longer unary prefix means an escaped value
inline constexpr int kZeroRunEscapeBits = 16;
inline constexpr std::uint32_t kHistoryClamp = 0xFFFF;
inline constexpr std::uint32_t kLongestZeroRun = 0xFFFF;

struct Config
{
    std::uint32_t frameLength = kDefaultFrameLength;
    std::uint8_t compatibleVersion = 0;
    std::uint8_t bitDepth = 16;
    std::uint8_t pb = kHistoryMult;
    std::uint8_t mb = kInitialHistory;
    std::uint8_t kb = kRiceLimit;
    std::uint8_t channels = 2;
    std::uint16_t maxRun = kMaxRun;
    std::uint32_t maxFrameBytes = 0;
    std::uint32_t avgBitRate = 0;
    std::uint32_t sampleRate = 44100;
};

// Reads the configuration from a cookie: the bare 24 bytes, or wrapped in the 'frma' and
// 'alac' atoms some writers put around it. False when it is short, of another version, or
// asks for what no decoder supports (more than 8 channels, frames over 65536 samples, a
// sample size other than 16, 20, 24 or 32 bits).
bool parseCookie(const std::uint8_t *data, std::size_t size, Config &config);
void renderCookie(const Config &config, std::uint8_t (&out)[kCookieSize]);

// Leading zero bits of a 32-bit word; 32 for 0.
inline int leadingZeros(std::uint32_t value)
{
    return value == 0 ? 32 : __builtin_clz(value);
}

// The Golomb parameter for the next value, from the history of magnitudes.
inline std::uint32_t riceParameter(std::uint32_t history, std::uint32_t limit)
{
    const std::uint32_t k = 31 - static_cast<std::uint32_t>(leadingZeros((history >> kHistoryShift) + 3));
    return k < limit ? k : limit;
}

// The history after a value: coded is the value as written, zeroMode the one that a zero
// run before it took off (the clamp looks at the value as written).
inline std::uint32_t nextHistory(std::uint32_t history, std::uint32_t coded, std::uint32_t zeroMode, std::uint32_t mult)
{
    if (coded > kHistoryClamp)
        return kHistoryClamp;
    return mult * (coded + zeroMode) + history - ((mult * history) >> kHistoryShift);
}

// A run of zeros is coded when the history falls this low.
inline bool zeroRunDue(std::uint32_t history)
{
    return (history << kZeroRunMult) < kHistoryUnit;
}
inline std::uint32_t zeroRunParameter(std::uint32_t history)
{
    return static_cast<std::uint32_t>(leadingZeros(history) - kZeroRunBitOffset)
        + ((history + kZeroRunOffset) >> kZeroRunDenShift);
}

// Keeps the low bits of a value as a signed number of that many bits.
inline std::int32_t signExtend(std::int32_t value, int bits)
{
    const int shift = 32 - bits;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) << shift) >> shift;
}

// Sums and differences as 32-bit arithmetic gives them, wrapping rather than overflowing:
// a damaged stream may ask for anything, and both sides must agree on what it gives.
inline std::int32_t wrapAdd(std::int32_t a, std::int32_t b)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
inline std::int32_t wrapSub(std::int32_t a, std::int32_t b)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

inline int signOf(std::int32_t value)
{
    return (value > 0) - (value < 0);
}

// One step of the adaptive prediction both sides run: the coefficients move by one toward
// what would have shrunk the residual, oldest tap first, until the residual's sign flips.
// taps[k] pairs with the sample k + 1 before the current one; window[0] is the oldest.
inline void adaptCoefficients(
    std::int16_t *coefs, int order, const std::int32_t *previous, std::int32_t top, std::int32_t residual, int denShift)
{
    std::int64_t left = residual;
    if (left > 0) {
        for (int k = order - 1; k >= 0; --k) {
            const std::int32_t diff = wrapSub(top, previous[-k]);
            const int sign = signOf(diff);
            coefs[k] = static_cast<std::int16_t>(coefs[k] - sign);
            left -= (order - k) * ((sign * std::int64_t(diff)) >> denShift);
            if (left <= 0)
                break;
        }
    } else if (left < 0) {
        for (int k = order - 1; k >= 0; --k) {
            const std::int32_t diff = wrapSub(top, previous[-k]);
            const int sign = signOf(diff);
            coefs[k] = static_cast<std::int16_t>(coefs[k] + sign);
            left -= (order - k) * ((-sign * std::int64_t(diff)) >> denShift);
            if (left >= 0)
                break;
        }
    }
}

// The prediction of the sample after previous[0] (previous[-k] the k-th before it), with
// top the oldest sample of the window.
inline std::int32_t predictionOffset(
    const std::int16_t *coefs, int order, const std::int32_t *previous, std::int32_t top, int denShift)
{
    std::uint32_t sum = 0; // wraps as 32-bit arithmetic does, on both sides alike
    for (int k = 0; k < order; ++k)
        sum += static_cast<std::uint32_t>(coefs[k]) * static_cast<std::uint32_t>(wrapSub(previous[-k], top));
    const std::uint32_t half = denShift > 0 ? 1u << (denShift - 1) : 0;
    return static_cast<std::int32_t>(sum + half) >> denShift;
}

} // namespace Alac
