#pragma once

#include "sonmill/base/failure.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace sonmill {

// The file layout, chosen by the output name's extension.
enum class Container { Wav, Aiff, Au, Mp3, Mp2, Ogg, Flac, Adts, Mp4, Ac3, Opus };

// The audio coding, chosen by -acodec.
enum class Codec { Pcm16, Mp3, Mp2, Vorbis, Flac, Aac, Ac3, Opus, Alac };

struct OutputFormat
{
    Container container;
    Codec codec;
    bool copy = false; // -acodec copy: keep the input's audio where the container can hold it
    // WAV, AIFF or AU with "copy" among the -acodec values: the samples keep the input's
    // integer size or float rather than becoming 16-bit.
    bool keepsSampleFormat = false;
};

// What an encoder can take; rates are listed when only some are allowed.
struct CodecLimits
{
    std::span<const int> rates; // empty: any rate from kMinAnyRate to kMaxAnyRate
    int maxChannels;
};
inline constexpr int kMinAnyRate = 1000;
inline constexpr int kMaxAnyRate = 384000;

CodecLimits limitsOf(Codec codec);

// The codec an encoder name of the shared table stands for; nullopt for names without an
// encoder here (and for names outside the table).
std::optional<Codec> codecForEncoderName(std::string_view name);

// Settles format from the output name and the last -acodec value (if any);
// copyAmongEncoders: an earlier -acodec value was "copy".
std::variant<OutputFormat, Failure> chooseOutputFormat(
    std::string_view outputPath, const std::optional<std::string> &encoder, bool copyAmongEncoders = false);

// The rate the encoder writes: the asked one if it can, else refused (asked) or the
// nearest it can (the input's own rate).
std::variant<int, Failure> chooseRate(Codec codec, std::optional<int> asked, int inputRate);

// Channels the output gets: the asked count, or the input's, capped by the encoder.
// Encoders that order channels their own way (Vorbis, Opus, AC-3) keep 1, 2 or 6 channels only.
std::variant<int, Failure> chooseChannels(Codec codec, std::optional<int> asked, int inputChannels);

} // namespace sonmill
