#pragma once

#include "protocol/sonmillprotocol.h"
#include "sonmill/base/failure.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace sonmill {

// What one command line asks for. Unset optionals mean "keep what the input has" (rate,
// channels) or "the encoder's default" (bit rate, quality).
struct Options
{
    bool help = false;
    bool overwrite = false; // -y
    bool verify = false; // -verify: read the output back before it takes its name
    bool retag = false; // -retag: only the tags of an existing output are written anew
    std::string input; // -i
    std::string output; // always the last argument
    std::int64_t startNs = 0; // -ss
    std::optional<std::int64_t> lengthNs; // -t
    double volumePercent = 100.0; // -vol
    std::optional<int> sampleRate; // -ar
    std::optional<std::string> encoder; // -acodec, the last one given
    // "copy" was one of the -acodec values, even if a later one counts: the program's
    // lossless line gives "copy" and then the profile's encoder, and a PCM output then
    // keeps the input's samples.
    bool copyAmongEncoders = false;
    std::optional<int> bitrateKbps; // -ab
    std::optional<double> quality; // -qscale
    std::optional<int> channels; // -ac
    // Tag values for this output (KEY, value), KEY a Vorbis comment name: the first entry of
    // a key replaces the source's values, further ones add to it, an empty value removes it.
    std::vector<std::pair<std::string, std::string>> tagValues;

    // Loudness, all our own options: the window's command carries none of them unless the
    // user asked for it.
    bool replayGain = false; // -replaygain track: write the track's ReplayGain 2.0 values
    std::optional<double> albumGainDb; // -albumgain, with -albumpeak: the album's values, told
    std::optional<double> albumPeak; // -albumpeak, linear
    std::optional<double> normalizeLufs; // -normalize: the target integrated loudness
    bool measure = false; // -measure: no output; every -i is measured, then all as one album
    std::vector<std::string> inputs; // every -i, in order (-measure)

    bool writesReplayGain() const { return replayGain || albumGainDb.has_value(); }
};

// First argument every caller passes.
inline constexpr std::string_view kKeyArgument = SONMILL_KEY;

// Reads the arguments after the program name. The last argument is always the output
// file, so an output name with a leading dash is taken as a name, never as an option.
std::variant<Options, Failure> parseOptions(int argc, const char *const *argv);

// "hh:mm:ss", "mm:ss" or "ss", each with an optional decimal fraction, as nanoseconds.
std::optional<std::int64_t> parseTimeValue(std::string_view text);

// The --help text.
const char *helpText();

} // namespace sonmill
