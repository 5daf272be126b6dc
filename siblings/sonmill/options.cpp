#include "sonmill/options.h"

#include "sonmill/tagvalues.h"

#include <charconv>
#include <cmath>
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

enum class Key {
    Overwrite,
    Input,
    Start,
    Length,
    Volume,
    Rate,
    Codec,
    Bitrate,
    Quality,
    Channels,
    NoVideo,
    ReplayGain,
    AlbumGain,
    AlbumPeak,
    Normalize,
    Measure,
    Tag,
    Verify,
    Retag,
};

struct OptionName
{
    std::string_view name;
    Key key;
    bool takesValue;
};

constexpr OptionName kOptionNames[] = {
    { "-y", Key::Overwrite, false },
    { "-i", Key::Input, true },
    { "-ss", Key::Start, true },
    { "-t", Key::Length, true },
    { "-vol", Key::Volume, true },
    { "-ar", Key::Rate, true },
    { "-acodec", Key::Codec, true },
    { "-ab", Key::Bitrate, true },
    { "-qscale", Key::Quality, true },
    { "-ac", Key::Channels, true },
    { "-vn", Key::NoVideo, false },
    { "-replaygain", Key::ReplayGain, true },
    { "-albumgain", Key::AlbumGain, true },
    { "-albumpeak", Key::AlbumPeak, true },
    { "-normalize", Key::Normalize, true },
    { "-measure", Key::Measure, false },
    { "-tag", Key::Tag, true },
    { "-verify", Key::Verify, false },
    { "-retag", Key::Retag, false },
};

// Limits of the loudness options: gains as ReplayGain readers take them, targets from
// the quietest that means anything to full scale.
constexpr double kMaxAlbumGainDb = 64.0;
constexpr double kMaxAlbumPeak = 100.0;
constexpr double kLowestTargetLufs = -70.0;
constexpr double kHighestTargetLufs = 0.0;

const OptionName *findOption(std::string_view name)
{
    for (const OptionName &option : kOptionNames)
        if (option.name == name)
            return &option;
    return nullptr;
}

std::optional<Failure> applyValue(Options &options, Key key, std::string_view value)
{
    switch (key) {
    case Key::Input:
        if (value.empty())
            return Failures::kNoInput;
        options.input = value;
        options.inputs.emplace_back(value);
        return std::nullopt;
    case Key::Start:
    case Key::Length: {
        const auto ns = parseTimeValue(value);
        if (!ns)
            return Failures::kTime;
        if (key == Key::Start)
            options.startNs = *ns;
        else
            options.lengthNs = *ns;
        return std::nullopt;
    }
    case Key::Volume: {
        const auto volume = parseDecimal(value);
        if (!volume || *volume > kMaxVolume)
            return Failures::kVolume;
        options.volumePercent = *volume;
        return std::nullopt;
    }
    case Key::Rate: {
        const auto rate = parseUnsigned(value);
        if (!rate || *rate < kMinRate || *rate > kMaxRate)
            return Failures::kRate;
        options.sampleRate = static_cast<int>(*rate);
        return std::nullopt;
    }
    case Key::Codec:
        options.encoder = std::string(value);
        options.copyAmongEncoders = options.copyAmongEncoders || value == "copy";
        return std::nullopt;
    case Key::Bitrate:
        options.bitrateKbps = parseBitrate(value);
        if (!options.bitrateKbps)
            return Failures::kBitrate;
        return std::nullopt;
    case Key::Quality: {
        const auto quality = parseDecimal(value);
        if (!quality || *quality > kMaxQuality)
            return Failures::kQuality;
        options.quality = *quality;
        return std::nullopt;
    }
    case Key::Channels:
        if (value != "1" && value != "2" && value != "6")
            return Failures::kChannels;
        options.channels = value[0] - '0';
        return std::nullopt;
    case Key::ReplayGain:
        if (value != "track")
            return Failures::kReplayGain;
        options.replayGain = true;
        return std::nullopt;
    case Key::AlbumGain: {
        const auto gain = parseSignedDecimal(value);
        if (!gain || std::fabs(*gain) > kMaxAlbumGainDb)
            return Failures::kAlbumValues;
        options.albumGainDb = *gain;
        return std::nullopt;
    }
    case Key::AlbumPeak: {
        const auto peak = parseDecimal(value);
        if (!peak || *peak > kMaxAlbumPeak)
            return Failures::kAlbumValues;
        options.albumPeak = *peak;
        return std::nullopt;
    }
    case Key::Normalize: {
        const auto target = parseSignedDecimal(value);
        if (!target || *target < kLowestTargetLufs || *target > kHighestTargetLufs)
            return Failures::kNormalize;
        options.normalizeLufs = *target;
        return std::nullopt;
    }
    case Key::Tag:
        if (!addTagValue(options.tagValues, value))
            return Failures::kTag;
        return std::nullopt;
    case Key::Overwrite:
    case Key::NoVideo:
    case Key::Measure:
    case Key::Verify:
    case Key::Retag:
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
        const OptionName *option = findOption(argv[i]);
        if (!option)
            break;
        if (option->key == Key::Measure) {
            options.measure = true;
            break;
        }
        i += option->takesValue ? 2 : 1;
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
        const OptionName *option = findOption(argument);
        if (!option)
            return Failures::kUnknownOption;
        if (option->key == Key::Overwrite) {
            options.overwrite = true;
            continue;
        }
        if (option->key == Key::Verify) {
            options.verify = true;
            continue;
        }
        if (option->key == Key::Retag) {
            options.retag = true;
            continue;
        }
        if (option->key == Key::NoVideo || option->key == Key::Measure)
            continue; // the output never holds video; -measure is settled above
        if (i + 1 >= optionsEnd && option->takesValue)
            return Failures::kMissingValue; // its value would be the output
        if (auto failure = applyValue(options, option->key, argv[++i]))
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

const char *helpText()
{
    return R"(sonmill: the audio transcoder of TOLM Audio Converter

Usage:
  sonmill qzv [-y] -i INPUT [-ss START] [-t LENGTH] [-vol PERCENT] [-ar RATE]
              [-acodec ENCODER] [-ab KBPSk] [-qscale Q] [-ac CHANNELS] [-vn]
              [-replaygain track [-albumgain DB -albumpeak PEAK]] [-normalize LUFS]
              [-tag KEY=VALUE]... [-verify] OUTPUT
  sonmill qzv -measure -i INPUT [-i INPUT ...]

  qzv          fixed first argument
  -y           replace OUTPUT if it exists (without -y an existing OUTPUT is refused)
  -i INPUT     the file to read: audio, or the audio of a video file
  -ss START    start offset: hh:mm:ss, mm:ss or seconds, each with an optional fraction
               of up to nine digits; positions are exact to the sample
  -t LENGTH    length to convert, same forms (the rest of the input when left out, or
               when START + LENGTH reaches the input's known end)
  -vol PERCENT volume, 0 to 400; 100 keeps it unchanged, peaks are clipped, never wrapped
  -ar RATE     output sample rate in hertz (high-quality resampling)
  -acodec NAME encoder; when given twice the later one counts:
                 libmp3lame or mp3   MP3 (.mp3)
                 mp2                 MPEG layer 2 (.mp2)
                 vorbis              Ogg Vorbis (.ogg)
                 flac                FLAC (.flac), 24 bits for inputs of more than 16
                 aac                 AAC, ADTS stream (.aac) or MPEG-4 audio (.m4a)
                 opus                Opus (.opus), variable rate at -ab, any input rate
                 alac                Apple Lossless (.m4a), 16 or 24 bits as the input has
                 pcm16le, pcm16be    16-bit PCM (.wav, .aiff, .au; the byte order is the
                                     one the container defines); after an earlier
                                     -acodec copy, PCM as the input has it (below)
                 copy                keep the audio as the input has it: an MP3, MP2,
                                     AAC or Vorbis stream goes into .mp3, .mp2, .aac,
                                     .m4a or .ogg undecoded (a range cut to the frame;
                                     .m4a and .ogg only whole); PCM keeps its bit depth
                                     or float in WAV, AIFF, AU and FLAC; anything else
                                     is encoded with the output's own encoder
               ac3, realaudio, wma and wmalossless have no encoder here.
  -ab KBPSk    bit rate in kbit/s: constant for MP3, MP2 and AAC, nominal for Vorbis
  -qscale Q    quality 0 (best) to 9 (smallest) of the variable-rate encoders, used only
               when -ab is not given: MP3 then encodes VBR at that level, Vorbis at
               quality (10 - Q) / 10; the other encoders ignore it
  -ac N        output channels: 1, 2 or 6 (5.1), mixed down or up as needed
  -vn          no video (the output never holds video)
  -replaygain track
               write the output's ReplayGain 2.0 values (reference -18 LUFS):
               REPLAYGAIN_TRACK_GAIN and REPLAYGAIN_TRACK_PEAK (true peak); Opus
               gets R128_TRACK_GAIN (and R128_ALBUM_GAIN) against -23 LUFS instead
  -albumgain DB, -albumpeak PEAK
               also write these as REPLAYGAIN_ALBUM_GAIN and _PEAK (both or neither)
  -normalize LUFS
               two passes: measure, then convert with the gain that brings the
               integrated loudness to LUFS (-70 to 0), a look-ahead limiter keeping the
               true peak at or below -1 dBTP; -vol is then ignored
  -measure     measure every -i given and all of them end to end; no OUTPUT
  -tag K=V     a tag value written in place of the input's (an empty value removes it);
               keys: title, artist, album, albumartist, date, genre, comment, and
               track and disc as "n" or "n/total"; may be given many times
  -verify      read the finished output back through the decoders before it takes its
               name: WAV, AIFF, AU and FLAC must decode to exactly the samples that went
               into the encoder (MD5 of both, and a FLAC's own MD5 as well); MP3, MP2,
               Ogg Vorbis, AAC, M4A and AC-3 must decode whole without an error to the
               length that went in, within the codec's frames (an MP3's gapless data
               giving its delay). An output that fails is removed. Costs one decode of
               the output: about half of a FLAC encode, a few per cent of a lossy one
  -retag       convert nothing: OUTPUT, made from the input by this same command line
               before, gets the input's tags and pictures anew (the -tag values too) in a
               copy that replaces it when written; its own ReplayGain values and encoder
               fields are kept when the command asks for loudness values
  OUTPUT       the file to write; its extension chooses the format

Output: "Duration: hh:mm:ss.hh" (rounded up) once the input's length is known, a progress line with
"time=" at least twice a second, a "Loudness:" line with the converted audio's
integrated loudness, range and true peak, and a summary line at a successful end. A failure prints
one line starting with "Error: " and ends with a non-zero exit status. The output is
written under a temporary name beside OUTPUT and renamed when the conversion succeeded
(with -verify: and a "Verified:" line has said what its check compared).
Set TOLM_GST_DEBUG=1 to see the decoding library's own warnings.
)";
}

} // namespace sonmill
