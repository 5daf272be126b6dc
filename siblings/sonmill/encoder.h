#pragma once

#include "sonmill/failure.h"
#include "sonmill/outputformat.h"

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
};

// Turns interleaved float frames (full scale +/-1, already clipped, in WAV channel order)
// into one output file. One implementation per encoder library; each writes its own
// container.
class Encoder
{
public:
    virtual ~Encoder() = default;

    virtual bool write(const float *frames, std::size_t count) = 0;
    // Flushes the encoder and completes the file's headers.
    virtual bool finish() = 0;
    // Bytes of the output so far, for the progress line.
    virtual std::uint64_t bytesWritten() const = 0;
};

// Loads the encoder module for settings.format.codec and opens the encoder on path.
std::variant<std::unique_ptr<Encoder>, Failure> createEncoder(const EncoderSettings &settings, const std::string &path);

} // namespace sonmill
