#pragma once

// The fixed numbers of the AC-3 (ATSC A/52) bit stream that encoder and decoder must share
// exactly: the frame sizes, the banding of the bit allocation, its hearing threshold, its
// log-addition and pointer tables, and the parameter codes we send.

#include <array>
#include <cstdint>

namespace sonmill::ac3 {

inline constexpr int kBlocksPerFrame = 6;
inline constexpr int kBlockSamples = 256; // new samples per block
inline constexpr int kFrameSamples = kBlocksPerFrame * kBlockSamples;
inline constexpr int kWindowLength = 2 * kBlockSamples;
inline constexpr int kCoefficients = kBlockSamples;
inline constexpr int kMaxChannels = 6; // five full-band channels and the LFE
inline constexpr int kLfeEndBin = 7;
inline constexpr int kMaxExponent = 24;
inline constexpr int kBands = 50;
inline constexpr int kSyncWord = 0x0B77;
inline constexpr int kBitStreamId = 8;

// Nominal bit rates by frmsizecod / 2.
inline constexpr std::array<int, 19> kBitRates
    = { 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 448, 512, 576, 640 };

// 16-bit words of a frame at bit rate `kbps`; at 44.1 kHz the frame without the padding word.
constexpr int frameWords(int rate, int kbps)
{
    if (rate == 48000)
        return 2 * kbps;
    if (rate == 32000)
        return 3 * kbps;
    return kbps * 320 / 147;
}

constexpr int sampleRateCode(int rate)
{
    return rate == 48000 ? 0 : (rate == 44100 ? 1 : 2);
}

// First bin of each band of the bit allocation, and the end of the last one.
inline constexpr std::array<std::uint8_t, kBands + 1> kBandStart
    = { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 31,
          34, 37, 40, 43, 46, 49, 55, 61, 67, 73, 79, 85, 97, 109, 121, 133, 157, 181, 205, 229, 253 };

// Hearing threshold by band, in the allocation's units (128 per 6 dB), per sample rate code.
inline constexpr std::array<std::array<std::int16_t, kBands>, 3> kHearingThreshold = { {
    { 0x04d0, 0x04d0, 0x0440, 0x0400, 0x03e0, 0x03c0, 0x03b0, 0x03b0, 0x03a0, 0x03a0, 0x03a0, 0x03a0, 0x03a0, 0x0390,
        0x0390, 0x0390, 0x0380, 0x0380, 0x0370, 0x0370, 0x0360, 0x0360, 0x0350, 0x0350, 0x0340, 0x0340, 0x0330, 0x0320,
        0x0310, 0x0300, 0x02f0, 0x02f0, 0x02f0, 0x02f0, 0x0300, 0x0310, 0x0340, 0x0390, 0x03e0, 0x0420, 0x0460, 0x0490,
        0x04a0, 0x0460, 0x0440, 0x0440, 0x0520, 0x0800, 0x0840, 0x0840 },
    { 0x04f0, 0x04f0, 0x0460, 0x0410, 0x03e0, 0x03d0, 0x03c0, 0x03b0, 0x03b0, 0x03a0, 0x03a0, 0x03a0, 0x03a0, 0x03a0,
        0x0390, 0x0390, 0x0390, 0x0380, 0x0380, 0x0380, 0x0370, 0x0370, 0x0360, 0x0360, 0x0350, 0x0350, 0x0340, 0x0340,
        0x0320, 0x0310, 0x0300, 0x02f0, 0x02f0, 0x02f0, 0x02f0, 0x0300, 0x0320, 0x0350, 0x0390, 0x03e0, 0x0420, 0x0450,
        0x04a0, 0x0490, 0x0460, 0x0440, 0x0480, 0x0630, 0x0840, 0x0840 },
    { 0x0580, 0x0580, 0x04b0, 0x0450, 0x0420, 0x03f0, 0x03e0, 0x03d0, 0x03c0, 0x03b0, 0x03b0, 0x03b0, 0x03a0, 0x03a0,
        0x03a0, 0x03a0, 0x03a0, 0x03a0, 0x03a0, 0x03a0, 0x0390, 0x0390, 0x0390, 0x0390, 0x0380, 0x0380, 0x0380, 0x0370,
        0x0360, 0x0350, 0x0340, 0x0330, 0x0320, 0x0310, 0x0300, 0x02f0, 0x02f0, 0x02f0, 0x0300, 0x0310, 0x0330, 0x0350,
        0x03c0, 0x0410, 0x0470, 0x04a0, 0x0460, 0x0440, 0x0450, 0x04e0 },
} };

// What adding a power smaller by 2 * index units adds to the larger one.
inline constexpr std::array<std::uint8_t, 256> kLogAdd = { 64, 63, 62, 61, 60, 59, 58, 57, 56, 55, 54, 53, 52, 52, 51,
    50, 49, 48, 47, 47, 46, 45, 44, 44, 43, 42, 41, 41, 40, 39, 38, 38, 37, 36, 36, 35, 35, 34, 33, 33, 32, 32, 31, 30,
    30, 29, 29, 28, 28, 27, 27, 26, 26, 25, 25, 24, 24, 23, 23, 22, 22, 21, 21, 21, 20, 20, 19, 19, 19, 18, 18, 18, 17,
    17, 17, 16, 16, 16, 15, 15, 15, 14, 14, 14, 13, 13, 13, 13, 12, 12, 12, 12, 11, 11, 11, 11, 10, 10, 10, 10, 10, 9,
    9, 9, 9, 9, 8, 8, 8, 8, 8, 8, 7, 7, 7, 7, 7, 7, 6, 6, 6, 6, 6, 6, 6, 6, 5, 5, 5, 5, 5, 5, 5, 5, 4, 4, 4, 4, 4, 4, 4,
    4, 4, 4, 4, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 1, 1,
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0 };

// Bit allocation pointer by (psd - mask) / 32.
inline constexpr std::array<std::uint8_t, 64> kBapTable = { 0, 1, 1, 1, 1, 1, 2, 2, 3, 3, 3, 4, 4, 5, 5, 6, 6, 6, 6, 7,
    7, 7, 7, 8, 8, 8, 8, 9, 9, 9, 9, 10, 10, 10, 10, 11, 11, 11, 11, 12, 12, 12, 12, 13, 13, 13, 13, 14, 14, 14, 14, 14,
    14, 14, 14, 15, 15, 15, 15, 15, 15, 15, 15, 15 };

// Mantissa bits by pointer; pointers 1, 2 and 4 are sent in groups (3, 3 and 2 values).
inline constexpr std::array<std::uint8_t, 16> kMantissaBits = { 0, 0, 0, 3, 0, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 16 };
// Levels of the symmetric quantisers of pointers 1 to 5.
inline constexpr std::array<std::uint8_t, 6> kQuantiserLevels = { 0, 3, 5, 7, 11, 15 };

// The allocation parameters we send, as codes, and the values they stand for.
inline constexpr int kSlowDecayCode = 2;
inline constexpr int kFastDecayCode = 1;
inline constexpr int kSlowGainCode = 1;
inline constexpr int kDbPerBitCode = 2;
inline constexpr int kFloorCode = 7;
inline constexpr int kFastGainCode = 4;
inline constexpr std::array<int, 4> kSlowDecay = { 0x0f, 0x11, 0x13, 0x15 };
inline constexpr std::array<int, 4> kFastDecay = { 0x3f, 0x53, 0x67, 0x7b };
inline constexpr std::array<int, 4> kSlowGain = { 0x540, 0x4d8, 0x478, 0x410 };
inline constexpr std::array<int, 4> kDbPerBit = { 0x000, 0x700, 0x900, 0xb00 };
inline constexpr std::array<int, 8> kFloor = { 0x2f0, 0x2b0, 0x270, 0x230, 0x1f0, 0x170, 0x0f0, -0x800 };
inline constexpr std::array<int, 8> kFastGain = { 0x080, 0x100, 0x180, 0x200, 0x280, 0x300, 0x380, 0x400 };

} // namespace sonmill::ac3
