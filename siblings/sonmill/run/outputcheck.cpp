#include "sonmill/run/outputcheck.h"

#include "sonmill/base/sampleconvert.h"
#include "sonmill/source/durationscan.h"
#include "sonmill/source/source.h"

#include <glib.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace sonmill {

SampleDigest::SampleDigest(SampleWords words)
    : m_words(words)
    , m_checksum(g_checksum_new(G_CHECKSUM_MD5))
{ }

SampleDigest::~SampleDigest()
{
    g_checksum_free(m_checksum);
}

void SampleDigest::addFloats(const float *samples, std::size_t count)
{
    if (m_words.isFloat) {
        m_integers.resize(count);
        std::memcpy(m_integers.data(), samples, count * sizeof(float)); // the float's own bits
    } else {
        m_integers.resize(count);
        if (m_words.bits == 32)
            floatToInteger32(samples, m_integers.data(), count);
        else
            floatToInteger(samples, m_integers.data(), count, m_words.bits);
    }
    addWords(m_integers.data(), count);
}

void SampleDigest::addIntegers(const std::int32_t *samples, std::size_t count, int shift)
{
    if (shift == 0) {
        addWords(samples, count);
        return;
    }
    m_integers.resize(count);
    const std::int32_t below = static_cast<std::int32_t>((std::uint32_t(1) << shift) - 1);
    std::int32_t stray = 0;
    for (std::size_t i = 0; i < count; ++i) {
        stray |= samples[i] & below;
        m_integers[i] = samples[i] >> shift;
    }
    m_strayBits = m_strayBits || stray != 0;
    addWords(m_integers.data(), count);
}

void SampleDigest::addWords(const std::int32_t *words, std::size_t count)
{
    const auto bytesPerWord = static_cast<std::size_t>(m_words.bits / 8);
    m_bytes.resize(count * bytesPerWord);
    std::uint8_t *out = m_bytes.data();
    for (std::size_t i = 0; i < count; ++i) {
        const auto word = static_cast<std::uint32_t>(words[i]);
        for (std::size_t b = 0; b < bytesPerWord; ++b)
            *out++ = static_cast<std::uint8_t>(word >> (8 * b));
    }
    g_checksum_update(m_checksum, m_bytes.data(), static_cast<gssize>(m_bytes.size()));
}

Md5 SampleDigest::result() const
{
    Md5 digest {};
    gsize length = digest.size();
    GChecksum *copy = g_checksum_copy(m_checksum); // the running one may still grow
    g_checksum_get_digest(copy, digest.data(), &length);
    g_checksum_free(copy);
    if (m_strayBits)
        digest[0] ^= 0xFF; // samples with more bits than the output's words are not its samples
    return digest;
}

constexpr std::uint64_t kOpusDecodeRate = 48000;

LengthRule lengthRuleOf(Codec codec, std::optional<std::uint32_t> gaplessTrim)
{
    // Samples a frame (Vorbis: its longest block), and the most the encoder adds at the two
    // ends where the file does not say: its delay and the rest of the last frame.
    std::uint64_t frame = 0;
    std::uint64_t added = 0;
    switch (codec) {
    case Codec::Mp3:
        frame = 1152;
        added = 576 + 529 + frame; // LAME's delay, the decoder's, the last frame's padding
        break;
    case Codec::Mp2:
        frame = 1152;
        added = 481 + frame;
        break;
    case Codec::Aac:
        frame = 1024;
        added = 1600 + 2 * frame; // the lead-in ours gives, and the flush
        break;
    case Codec::Ac3:
        frame = 1536;
        added = 256 + frame;
        break;
    case Codec::Vorbis:
        frame = 2048;
        added = frame;
        break;
    case Codec::Opus:
        frame = 960; // 20 ms at 48 kHz; the decoder trims the pre-skip and the end itself
        added = frame;
        break;
    case Codec::Pcm16:
    case Codec::Flac:
    case Codec::Alac:
        return { 0, 0 };
    }
    if (gaplessTrim)
        added = *gaplessTrim;
    return { frame, added + frame };
}

std::optional<Md5> flacStreamDigest(const std::string &path)
{
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        return std::nullopt;
    // "fLaC", STREAMINFO's block header, then its 34 bytes: the MD5 is their last 16.
    unsigned char head[4 + 4 + 34];
    if (std::fread(head, 1, sizeof head, file.get()) != sizeof head || std::memcmp(head, "fLaC", 4) != 0
        || (head[4] & 0x7F) != 0)
        return std::nullopt;
    Md5 digest;
    std::memcpy(digest.data(), head + 8 + 18, digest.size());
    if (digest == Md5 {})
        return std::nullopt;
    return digest;
}

namespace {

Failure decodingFailed(const Failure &failure, std::uint64_t decoded, std::uint64_t wanted)
{
    // A stall stays one: the window program's watchdog words are the same for every stall.
    if (failure.code == ExitCode::Stalled)
        return failure;
    return withCounts(Failures::kCheckDecode, decoded, wanted);
}

} // namespace

std::variant<CheckVerdict, Failure> checkOutput(
    const WrittenOutput &written, std::chrono::milliseconds stallLimit, const std::function<void()> &whileChecking)
{
    const bool lossless = written.words.has_value();
    const SampleWords words = written.words.value_or(SampleWords {});
    // Integer words come back as 32-bit integers: exact at any size, which float is not.
    const bool integers = lossless && !words.isFloat;
    // A lossy output's frames are only counted: as the decoder gives them.
    const Source::Samples samples
        = lossless ? (integers ? Source::Samples::Integers : Source::Samples::Float) : Source::Samples::Native;
    auto opened = Source::open(written.path, stallLimit, false, samples);
    if (auto *failure = std::get_if<Failure>(&opened))
        return decodingFailed(*failure, 0, written.frames);
    const std::unique_ptr<Source> source = std::move(std::get<std::unique_ptr<Source>>(opened));
    // Opus always decodes at 48 kHz, whatever rate its header keeps: the length is counted there.
    std::uint64_t wantedFrames = written.frames;
    const bool opusAt48k = written.format.codec == Codec::Opus && source->info().rate == kOpusDecodeRate;
    if (opusAt48k)
        wantedFrames = written.frames * kOpusDecodeRate / std::uint64_t(written.rate);
    else if (source->info().rate != written.rate || (lossless && source->info().channels != written.channels))
        return Failures::kCheckFormat;
    if (auto failure = source->start())
        return decodingFailed(*failure, 0, written.frames);

    const auto samplesPerFrame = static_cast<std::size_t>(source->info().channels);
    std::optional<SampleDigest> digest;
    if (lossless)
        digest.emplace(words);
    CheckVerdict verdict;
    verdict.lossless = lossless;
    while (true) {
        auto next = source->next(whileChecking);
        if (auto *failure = std::get_if<Failure>(&next))
            return decodingFailed(*failure, verdict.decodedFrames, written.frames);
        const DecodedBlock &block = std::get<DecodedBlock>(next);
        if (block.frameCount() == 0)
            break;
        if (digest) {
            const std::size_t count = block.frameCount() * samplesPerFrame;
            if (integers)
                digest->addIntegers(block.integerFrames(), count, 32 - words.bits);
            else
                digest->addFloats(block.frames(), count);
        }
        verdict.decodedFrames += block.frameCount();
        whileChecking();
    }

    if (!lossless) {
        const std::optional<std::uint32_t> trim
            = written.format.codec == Codec::Mp3 ? scanMp3Trim(written.path) : std::nullopt;
        const LengthRule rule = lengthRuleOf(written.format.codec, trim);
        verdict.allowance = rule.longBy;
        if (verdict.decodedFrames + rule.shortBy < wantedFrames || verdict.decodedFrames > wantedFrames + rule.longBy)
            return withCounts(Failures::kCheckLength, verdict.decodedFrames, wantedFrames);
        return verdict;
    }
    if (verdict.decodedFrames != written.frames)
        return withCounts(Failures::kCheckLength, verdict.decodedFrames, written.frames);
    verdict.digest = digest->result();
    if (!written.encodedDigest || verdict.digest != *written.encodedDigest)
        return Failures::kCheckSamples;
    if (written.format.codec == Codec::Flac) {
        const std::optional<Md5> stated = flacStreamDigest(written.path);
        if (!stated || *stated != verdict.digest)
            return Failures::kCheckFlacDigest;
        verdict.flacDigest = true;
    }
    return verdict;
}

} // namespace sonmill
