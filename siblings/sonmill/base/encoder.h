#pragma once

#include <algorithm>

#include "sonmill/base/failure.h"
#include "sonmill/base/outputformat.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>

namespace sonmill {

struct EncoderSettings
{
    OutputFormat format;
    int rate = 0;
    int channels = 0;
    std::optional<int> kbps; // -ab
    std::optional<double> quality; // -qscale
    std::uint64_t expectedFrames = 0; // what the output will roughly hold; 0 if unknown
    int bits = 16; // sample size of the lossless encoders (PCM, FLAC)
    bool floatSamples = false; // PCM only: 32-bit float samples
    // Bytes the tags written after the audio will take: FLAC keeps that much room ahead of
    // the audio, so writing them (a large picture, say) rewrites nothing behind it.
    std::size_t tagRoom = 0;
};

// The sample words a lossless output stores: integers of 16, 24 or 32 bits, or 32-bit float.
struct SampleWords
{
    int bits = 16;
    bool isFloat = false;
};

// What the lossless encoders (PCM, FLAC) make of the settings; nullopt for a lossy codec.
inline std::optional<SampleWords> losslessWords(const EncoderSettings &settings)
{
    if (settings.format.codec == Codec::Flac || settings.format.codec == Codec::Alac)
        return SampleWords { settings.bits == 24 ? 24 : 16, false };
    if (settings.format.codec != Codec::Pcm16)
        return std::nullopt;
    // Plain AIFF has no float: float input is kept in 24 bits there.
    if (settings.floatSamples)
        return settings.format.container == Container::Aiff ? SampleWords { 24, false } : SampleWords { 32, true };
    return SampleWords { settings.bits == 24 || settings.bits == 32 ? settings.bits : 16, false };
}

// Turns interleaved float frames (full scale +/-1, already clipped, in WAV channel order)
// into one output file. One implementation per encoder library; each writes its own
// container.
class Encoder
{
public:
    virtual ~Encoder() = default;

    virtual bool write(const float *frames, std::size_t count) = 0;
    // A lossless encoder at 16 bits may take 16-bit input as it is (widened to 32 bits),
    // which saves the trip through float and back.
    virtual bool takesIntegers() const { return false; }
    virtual bool writeIntegers(const std::int32_t *, std::size_t) { return false; }
    // Flushes the encoder and completes the file's headers.
    virtual bool finish() = 0;
    // Bytes of the output so far, for the progress line.
    virtual std::uint64_t bytesWritten() const = 0;
    // After write() or finish() returned false: true when the output file refused the
    // bytes (a full disk, say), false when the encoder library itself failed.
    virtual bool outputFailed() const = 0;
    // With outputFailed(): the system's error number, 0 when unknown.
    virtual int outputError() const { return 0; }
};

// Hands interleaved frames to encodeChunk(frames, n) at most chunkFrames frames at a time, as
// the encoder libraries want them; stops at the first chunk that fails.
template <typename EncodeChunk>
bool writeInChunks(
    const float *frames, std::size_t count, int channels, std::size_t chunkFrames, EncodeChunk encodeChunk)
{
    const auto samplesPerFrame = static_cast<std::size_t>(channels);
    while (count > 0) {
        const std::size_t n = std::min(count, chunkFrames);
        if (!encodeChunk(frames, n))
            return false;
        frames += n * samplesPerFrame;
        count -= n;
    }
    return true;
}

// Loads the encoder module for settings.format.codec and opens the encoder on path.
std::variant<std::unique_ptr<Encoder>, Failure> createEncoder(const EncoderSettings &settings, const std::string &path);

} // namespace sonmill
