#include "sonmill/cli/options.h"

#include "protocol/probeworker.h"
#include "protocol/sonmillprotocol.h"
#include "sonmill/tags/tagvalues.h"

#include <charconv>
#include <cmath>
#include <string>
#include <vector>

namespace sonmill {
namespace {

constexpr std::int64_t kNsPerSecond = 1'000'000'000;
constexpr double kMaxVolume = 400.0;
constexpr int kMinRate = 1000;
constexpr int kMaxRate = 384000;
constexpr int kMinKbps = 8;
constexpr int kMaxKbps = 640;
constexpr double kMaxQuality = 9.0;

bool allDigits(std::string_view text)
{
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

std::optional<std::int64_t> parseUnsigned(std::string_view text)
{
    if (!allDigits(text) || text.size() > 12)
        return std::nullopt;
    std::int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// A plain non-negative decimal number ("12", "12.5"); no signs, exponents or blanks.
std::optional<double> parseDecimal(std::string_view text)
{
    const auto dot = text.find('.');
    const std::string_view whole = text.substr(0, dot);
    const std::string_view fraction = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    if (!allDigits(whole) || (dot != std::string_view::npos && !allDigits(fraction)))
        return std::nullopt;
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<double> parseSignedDecimal(std::string_view text)
{
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+'))
        text.remove_prefix(1);
    const auto value = parseDecimal(text);
    if (!value)
        return std::nullopt;
    return negative ? -*value : *value;
}

std::optional<int> parseBitrate(std::string_view text)
{
    const bool kilo = !text.empty() && (text.back() == 'k' || text.back() == 'K');
    if (kilo)
        text.remove_suffix(1);
    auto value = parseUnsigned(text);
    if (!value)
        return std::nullopt;
    // A bare number of a thousand or more is bits per second.
    std::int64_t kbps = (!kilo && *value >= 1000) ? (*value + 500) / 1000 : *value;
    if (kbps < kMinKbps || kbps > kMaxKbps)
        return std::nullopt;
    return static_cast<int>(kbps);
}

using SonmillProtocol::Option;
using SonmillProtocol::OptionWord;

// Limits of the loudness options: gains as ReplayGain readers take them, targets from
// the quietest that means anything to full scale.
constexpr double kMaxAlbumGainDb = 64.0;
constexpr double kMaxAlbumPeak = 100.0;
constexpr double kLowestTargetLufs = -70.0;
constexpr double kHighestTargetLufs = 0.0;

const OptionWord *findOption(std::string_view name)
{
    for (const OptionWord &option : SonmillProtocol::kOptions)
        if (option.word == name)
            return &option;
    return nullptr;
}

bool takesValue(const OptionWord &option)
{
    return !option.argument.empty();
}

std::optional<Failure> applyValue(Options &options, Option key, std::string_view value)
{
    switch (key) {
    case Option::Input:
        if (value.empty())
            return Failures::kNoInput;
        options.input = value;
        options.inputs.emplace_back(value);
        return std::nullopt;
    case Option::Start:
    case Option::Length: {
        const auto ns = parseTimeValue(value);
        if (!ns)
            return Failures::kTime;
        if (key == Option::Start)
            options.startNs = *ns;
        else
            options.lengthNs = *ns;
        return std::nullopt;
    }
    case Option::Volume: {
        const auto volume = parseDecimal(value);
        if (!volume || *volume > kMaxVolume)
            return Failures::kVolume;
        options.volumePercent = *volume;
        return std::nullopt;
    }
    case Option::SampleRate: {
        const auto rate = parseUnsigned(value);
        if (!rate || *rate < kMinRate || *rate > kMaxRate)
            return Failures::kRate;
        options.sampleRate = static_cast<int>(*rate);
        return std::nullopt;
    }
    case Option::Codec:
        options.encoder = std::string(value);
        options.copyAmongEncoders = options.copyAmongEncoders || value == SONMILL_COPY_CODEC;
        return std::nullopt;
    case Option::Bitrate:
        options.bitrateKbps = parseBitrate(value);
        if (!options.bitrateKbps)
            return Failures::kBitrate;
        return std::nullopt;
    case Option::Quality: {
        const auto quality = parseDecimal(value);
        if (!quality || *quality > kMaxQuality)
            return Failures::kQuality;
        options.quality = *quality;
        return std::nullopt;
    }
    case Option::Channels:
        if (value != "1" && value != "2" && value != "6")
            return Failures::kChannels;
        options.channels = value[0] - '0';
        return std::nullopt;
    case Option::ReplayGain:
        if (value != SONMILL_REPLAYGAIN_TRACK)
            return Failures::kReplayGain;
        options.replayGain = true;
        return std::nullopt;
    case Option::AlbumGain: {
        const auto gain = parseSignedDecimal(value);
        if (!gain || std::fabs(*gain) > kMaxAlbumGainDb)
            return Failures::kAlbumValues;
        options.albumGainDb = *gain;
        return std::nullopt;
    }
    case Option::AlbumPeak: {
        const auto peak = parseDecimal(value);
        if (!peak || *peak > kMaxAlbumPeak)
            return Failures::kAlbumValues;
        options.albumPeak = *peak;
        return std::nullopt;
    }
    case Option::Normalize: {
        const auto target = parseSignedDecimal(value);
        if (!target || *target < kLowestTargetLufs || *target > kHighestTargetLufs)
            return Failures::kNormalize;
        options.normalizeLufs = *target;
        return std::nullopt;
    }
    case Option::Tag:
        if (!addTagValue(options.tagValues, value))
            return Failures::kTag;
        return std::nullopt;
    case Option::Overwrite:
    case Option::NoVideo:
    case Option::Measure:
    case Option::Verify:
    case Option::Retag:
        break;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::int64_t> parseTimeValue(std::string_view text)
{
    const auto dot = text.find('.');
    const std::string_view clock = text.substr(0, dot);
    std::string_view fraction = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    if (dot != std::string_view::npos && !allDigits(fraction))
        return std::nullopt;

    std::vector<std::int64_t> fields;
    std::size_t begin = 0;
    while (true) {
        const auto colon = clock.find(':', begin);
        const auto field = parseUnsigned(clock.substr(begin, colon - begin));
        if (!field)
            return std::nullopt;
        fields.push_back(*field);
        if (colon == std::string_view::npos)
            break;
        begin = colon + 1;
    }
    if (fields.size() > 3)
        return std::nullopt;
    if (fields.size() > 1) {
        // Within a clock time, minutes and seconds stay below 60.
        for (std::size_t i = 1; i < fields.size(); ++i)
            if (fields[i] >= 60)
                return std::nullopt;
    }
    std::int64_t seconds = 0;
    for (std::int64_t field : fields)
        seconds = seconds * 60 + field;
    if (seconds > 1'000'000'000)
        return std::nullopt;

    std::int64_t ns = 0;
    std::int64_t scale = kNsPerSecond / 10;
    for (char digit : fraction.substr(0, 9)) {
        ns += (digit - '0') * scale;
        scale /= 10;
    }
    return seconds * kNsPerSecond + ns;
}

std::variant<Options, Failure> parseOptions(int argc, const char *const *argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h" || argument == "-help") {
            options.help = true;
            return options;
        }
    }
    if (argc < 2 || argv[1] != kKeyArgument)
        return Failures::kFirstArgument;

    // -measure writes nothing: then there is no output, and every word is an option.
    for (int i = 2; i < argc - 1;) {
        const OptionWord *option = findOption(argv[i]);
        if (!option)
            break;
        if (option->option == Option::Measure) {
            options.measure = true;
            break;
        }
        i += takesValue(*option) ? 2 : 1;
    }
    const int optionsEnd = options.measure ? argc : argc - 1;

    bool haveOutput = false;
    for (int i = 2; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (i == optionsEnd) {
            // The output is the last word, whatever it looks like.
            if (argument.empty())
                return Failures::kNoOutput;
            options.output = argument;
            haveOutput = true;
            break;
        }
        const OptionWord *option = findOption(argument);
        if (!option)
            return Failures::kUnknownOption;
        if (option->option == Option::Overwrite) {
            options.overwrite = true;
            continue;
        }
        if (option->option == Option::Verify) {
            options.verify = true;
            continue;
        }
        if (option->option == Option::Retag) {
            options.retag = true;
            continue;
        }
        if (option->option == Option::NoVideo || option->option == Option::Measure)
            continue; // the output never holds video; -measure is settled above
        if (i + 1 >= optionsEnd && takesValue(*option))
            return Failures::kMissingValue; // its value would be the output
        if (auto failure = applyValue(options, option->option, argv[++i]))
            return *failure;
    }
    if (options.input.empty())
        return Failures::kNoInput;
    if (options.albumGainDb.has_value() != options.albumPeak.has_value())
        return Failures::kAlbumValues;
    if (options.measure)
        return options;
    if (!haveOutput)
        return Failures::kNoOutput;
    return options;
}

namespace {

// What the help says of each option, lines without their indentation. -albumgain and
// -albumpeak share one entry (they go together).
struct OptionHelp
{
    std::vector<Option> options;
    const char *text;
};

std::string tagKeysHelp()
{
    std::string plain;
    std::string numbered;
    for (const SonmillProtocol::TagKey &tag : SonmillProtocol::kTagKeys) {
        std::string &list = tag.numbered ? numbered : plain;
        list += list.empty() ? "" : (tag.numbered ? " and " : ", ");
        list += tag.key;
    }
    return "a tag value written in place of the input's (an empty value removes it);\nkeys: " + plain + ", and "
        + numbered + " as \"n\" or \"n/total\"; may be given many times";
}

// Folds the lines of text longer than width at blanks.
std::string folded(const std::string &text, std::size_t width)
{
    std::string out;
    std::size_t lineStart = 0;
    std::size_t lastBlank = std::string::npos;
    for (char c : text) {
        out += c;
        if (c == '\n') {
            lineStart = out.size();
            lastBlank = std::string::npos;
        } else if (c == ' ') {
            lastBlank = out.size() - 1;
        }
        if (out.size() - lineStart > width && lastBlank != std::string::npos) {
            out[lastBlank] = '\n';
            lineStart = lastBlank + 1;
            lastBlank = std::string::npos;
        }
    }
    return out;
}

std::string label(const std::vector<Option> &options)
{
    std::string text;
    for (Option option : options) {
        const OptionWord &word = SonmillProtocol::optionWord(option);
        text += text.empty() ? "" : ", ";
        text += word.word;
        if (!word.argument.empty())
            text += " " + std::string(word.argument);
    }
    return text;
}

// "[-ss START]"; an option a run must have stands without brackets.
std::string usageWord(Option option, bool required = false)
{
    const std::string text = label({ option });
    return required ? text : "[" + text + "]";
}

} // namespace

const char *helpText()
{
    constexpr std::size_t kLabelWidth = 13;
    constexpr std::size_t kIndent = 15;
    constexpr std::size_t kTextWidth = 74;
    const std::string indent(kIndent, ' ');
    const std::string key = SONMILL_KEY;
    const std::string program = SONMILL_PROGRAM;

    static const std::string text = [&] {
        using enum Option;
        const std::string lead = "  " + program + " " + key + " ";
        const std::string continued(lead.size(), ' ');
        std::string help = program + ": the audio transcoder of TOLM Audio Converter\n\nUsage:\n";
        help += lead + usageWord(Overwrite) + " " + usageWord(Input, true) + " " + usageWord(Start) + " "
            + usageWord(Length) + " " + usageWord(Volume) + " " + usageWord(SampleRate) + "\n";
        help += continued + usageWord(Codec) + " " + usageWord(Bitrate) + " " + usageWord(Quality) + " "
            + usageWord(Channels) + " " + usageWord(NoVideo) + "\n";
        help += continued + "[" + label({ ReplayGain }) + " [" + label({ AlbumGain }) + " " + label({ AlbumPeak })
            + "]] " + usageWord(Normalize) + "\n";
        help += continued + usageWord(Tag) + "... " + usageWord(Verify) + " OUTPUT\n";
        help += lead + label({ Measure }) + " " + label({ Input }) + " [" + label({ Input }) + " ...]\n";
        help += lead + "-probeworker SCRATCH\n\n";
        help += "  " + key + std::string(kLabelWidth - key.size(), ' ') + "fixed first argument\n";

        const std::string tagText = folded(tagKeysHelp(), kTextWidth);
        const OptionHelp entries[] = {
            { { Overwrite }, "replace OUTPUT if it exists (without -y an existing OUTPUT is refused)" },
            { { Input }, "the file to read: audio, or the audio of a video file" },
            { { Start },
                "start offset: hh:mm:ss, mm:ss or seconds, each with an optional fraction\n"
                "of up to nine digits; positions are exact to the sample" },
            { { Length },
                "length to convert, same forms (the rest of the input when left out, or\n"
                "when START + LENGTH reaches the input's known end)" },
            { { Volume }, "volume, 0 to 400; 100 keeps it unchanged, peaks are clipped, never wrapped" },
            { { SampleRate }, "output sample rate in hertz (high-quality resampling)" },
            { { Codec },
                "encoder; when given twice the later one counts:\n"
                "  " SONMILL_MP3_ENCODER " or mp3   MP3 (.mp3)\n"
                "  mp2                 MPEG layer 2 (.mp2)\n"
                "  vorbis              Ogg Vorbis (.ogg)\n"
                "  flac                FLAC (.flac), 24 bits for inputs of more than 16\n"
                "  aac                 AAC, ADTS stream (.aac) or MPEG-4 audio (.m4a)\n"
                "  opus                Opus (.opus), variable rate at -ab, any input rate\n"
                "  alac                Apple Lossless (.m4a), 16 or 24 bits as the input has\n"
                "  pcm16le, pcm16be    16-bit PCM (.wav, .aiff, .au; the byte order is the\n"
                "                      one the container defines); after an earlier\n"
                "                      -acodec copy, PCM as the input has it (below)\n"
                "  " SONMILL_COPY_CODEC "                keep the audio as the input has it: an MP3, MP2,\n"
                "                      AAC or Vorbis stream goes into .mp3, .mp2, .aac,\n"
                "                      .m4a or .ogg undecoded (a range cut to the frame;\n"
                "                      .m4a and .ogg only whole); PCM keeps its bit depth\n"
                "                      or float in WAV, AIFF, AU and FLAC; anything else\n"
                "                      is encoded with the output's own encoder\n"
                "ac3, realaudio, wma and wmalossless have no encoder here." },
            { { Bitrate }, "bit rate in kbit/s: constant for MP3, MP2 and AAC, nominal for Vorbis" },
            { { Quality },
                "quality 0 (best) to 9 (smallest) of the variable-rate encoders, used only\n"
                "when -ab is not given: MP3 then encodes VBR at that level, Vorbis at\n"
                "quality (10 - Q) / 10; the other encoders ignore it" },
            { { Channels }, "output channels: 1, 2 or 6 (5.1), mixed down or up as needed" },
            { { NoVideo }, "no video (the output never holds video)" },
            { { ReplayGain },
                "write the output's ReplayGain 2.0 values (reference -18 LUFS):\n"
                "REPLAYGAIN_TRACK_GAIN and REPLAYGAIN_TRACK_PEAK (true peak); Opus\n"
                "gets R128_TRACK_GAIN (and R128_ALBUM_GAIN) against -23 LUFS instead" },
            { { AlbumGain, AlbumPeak }, "also write these as REPLAYGAIN_ALBUM_GAIN and _PEAK (both or neither)" },
            { { Normalize },
                "two passes: measure, then convert with the gain that brings the\n"
                "integrated loudness to LUFS (-70 to 0), a look-ahead limiter keeping the\n"
                "true peak at or below -1 dBTP; -vol is then ignored. A lossy output is\n"
                "then decoded and measured as it plays, and encoded once more (twice at\n"
                "most) when the encoder moved it more than 0.25 LU off the target or its\n"
                "true peak above -1.2 dBTP" },
            { { Measure }, "measure every -i given and all of them end to end; no OUTPUT" },
            { { Tag }, tagText.c_str() },
            { { Verify },
                "read the finished output back through the decoders before it takes its\n"
                "name: WAV, AIFF, AU and FLAC must decode to exactly the samples that went\n"
                "into the encoder (MD5 of both, and a FLAC's own MD5 as well); MP3, MP2,\n"
                "Ogg Vorbis, AAC, M4A and AC-3 must decode whole without an error to the\n"
                "length that went in, within the codec's frames (an MP3's gapless data\n"
                "giving its delay). An output that fails is removed. Costs one decode of\n"
                "the output: about half of a FLAC encode, a few per cent of a lossy one" },
            { { Retag },
                "convert nothing: OUTPUT, made from the input by this same command line\n"
                "before, gets the input's tags and pictures anew (the -tag values too) in a\n"
                "copy that replaces it when written; its own ReplayGain values and encoder\n"
                "fields are kept when the command asks for loudness values" },
        };
        for (const OptionHelp &entry : entries) {
            const std::string name = label(entry.options);
            help += "  " + name;
            help += name.size() < kLabelWidth ? std::string(kLabelWidth - name.size(), ' ') : "\n" + indent;
            for (const char *c = entry.text; *c; ++c) {
                help += *c;
                if (*c == '\n')
                    help += indent;
            }
            help += '\n';
        }
        help += "  -probeworker SCRATCH\n" + indent
            + "probe one INPUT a line read from standard input (a backslash written as\n" + indent
            + "\\\\, a line break as \\n) until the input ends: each is answered with the\n" + indent
            + "text of \"sonmill qzv -y -i INPUT -t 0.001 SCRATCH\", then one line\n" + indent + "\""
            + std::string(probeworker::kAnswerEnd) + "STATUS\", STATUS that run's exit status\n";
        help += "  OUTPUT       the file to write; its extension chooses the format\n";
        help += R"(
Output: ")" SONMILL_DURATION_WORD R"(hh:mm:ss.hh" (rounded up) once the input's length is known, a progress line with
")" SONMILL_TIME_WORD R"(" at least twice a second, and a summary line at a successful end. Only when
something uses it (-replaygain, -albumgain, -normalize, -measure) is the loudness
measured, and a ")" SONMILL_LOUDNESS_LABEL R"(:" line gives the converted audio's integrated loudness, range
and true peak (a plain conversion has none). A failure prints
one line starting with ")" SONMILL_ERROR_WORD R"(" and ends with a non-zero exit status. The output is
written under a temporary name beside OUTPUT and renamed when the conversion succeeded
(with -verify: and a "Verified:" line has said what its check compared).
Set TOLM_GST_DEBUG=1 to see the decoding library's own warnings.
)";
        return help;
    }();
    return text.c_str();
}

} // namespace sonmill
