#pragma once

#include "sonmill/base/encoder.h"
#include "sonmill/base/failure.h"
#include "sonmill/base/outputformat.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

typedef struct _GChecksum GChecksum;

namespace sonmill {

using Md5 = std::array<std::uint8_t, 16>;

// An MD5 over samples in the words of a lossless output: each word little-endian in its own
// whole bytes, the frames interleaved, which is the layout of the MD5 in a FLAC file's
// STREAMINFO. Floats are made into the output's words as the encoders make them.
class SampleDigest
{
public:
    explicit SampleDigest(SampleWords words);
    ~SampleDigest();
    SampleDigest(const SampleDigest &) = delete;
    SampleDigest &operator=(const SampleDigest &) = delete;

    void addFloats(const float *samples, std::size_t count);
    // Integers holding a word each, shifted left by shift bits (32-bit integers read back
    // from a 16-bit file have shift 16); bits below the word make the digest differ.
    void addIntegers(const std::int32_t *samples, std::size_t count, int shift = 0);
    Md5 result() const;

private:
    void addWords(const std::int32_t *words, std::size_t count);

    SampleWords m_words;
    GChecksum *m_checksum;
    std::vector<std::int32_t> m_integers;
    std::vector<std::uint8_t> m_bytes;
    bool m_strayBits = false;
};

// What the run wrote, for the check that reads it back before it takes its name.
struct WrittenOutput
{
    std::string path;
    OutputFormat format;
    int rate = 0;
    int channels = 0;
    std::uint64_t frames = 0; // frames handed to the encoder (or copied)
    std::optional<SampleWords> words; // lossless: the words it stores
    std::optional<Md5> encodedDigest; // lossless: of the samples handed to the encoder
};

struct CheckVerdict
{
    bool lossless = false;
    std::uint64_t decodedFrames = 0;
    Md5 digest {}; // lossless: of the samples decoded
    bool flacDigest = false; // the FLAC's own MD5 was compared too
    std::uint64_t allowance = 0; // lossy: the frames the length may differ by
};

// The lossy codecs' frame rule: how far the decoded length of `frames` encoded ones may lie
// from them. The codec's delay and padding (from gapless data where the file has it; the
// codec's worst otherwise), and one frame at each end.
struct LengthRule
{
    std::uint64_t shortBy; // at most this many fewer
    std::uint64_t longBy; // at most this many more
};
LengthRule lengthRuleOf(Codec codec, std::optional<std::uint32_t> gaplessTrim);

// Reads the written file back through the decoding road every input takes, whole: a lossless
// output must give the very samples that went into the encoder (and a FLAC's own MD5 must
// say so too), a lossy one must decode without an error to the length that went in, within
// its codec's frame rule. whileChecking is called now and then (for the progress lines).
std::variant<CheckVerdict, Failure> checkOutput(
    const WrittenOutput &written, std::chrono::milliseconds stallLimit, const std::function<void()> &whileChecking);

// The MD5 a FLAC file's STREAMINFO holds; nullopt when it cannot be read or is all zeros
// (an encoder that did not compute one).
std::optional<Md5> flacStreamDigest(const std::string &path);

} // namespace sonmill
