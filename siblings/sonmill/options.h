#pragma once

#include "sonmill/failure.h"
#include "sonmill/tagvalues.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace sonmill {

// What one command line asks for. Unset optionals mean "keep what the input has" (rate,
// channels) or "the encoder's default" (bit rate, quality).
struct Options
{
    bool help = false;
    bool overwrite = false; // -y
    std::string input; // -i
    std::string output; // always the last argument
    std::int64_t startNs = 0; // -ss
    std::optional<std::int64_t> lengthNs; // -t
    double volumePercent = 100.0; // -vol
    std::optional<int> sampleRate; // -ar
    std::optional<std::string> encoder; // -acodec, the last one given
    std::optional<int> bitrateKbps; // -ab
    std::optional<double> quality; // -qscale
    std::optional<int> channels; // -ac
    TagValues tagValues; // -tag, in the order given
};

// First argument every caller passes.
inline constexpr std::string_view kKeyArgument = "qzv";

// Reads the arguments after the program name. The last argument is always the output
// file, so an output name with a leading dash is taken as a name, never as an option.
std::variant<Options, Failure> parseOptions(int argc, const char *const *argv);

// "hh:mm:ss", "mm:ss" or "ss", each with an optional decimal fraction, as nanoseconds.
std::optional<std::int64_t> parseTimeValue(std::string_view text);

// The --help text.
const char *helpText();

} // namespace sonmill
