#include "sonmill/base/outputformat.h"

#include "media/encodernames.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>

namespace sonmill {
namespace {

struct ExtensionEntry
{
    std::string_view extension;
    Container container;
    Codec defaultCodec;
};

constexpr std::array<ExtensionEntry, 15> kExtensions = { {
    { "wav", Container::Wav, Codec::Pcm16 },
    { "aiff", Container::Aiff, Codec::Pcm16 },
    { "aif", Container::Aiff, Codec::Pcm16 },
    { "au", Container::Au, Codec::Pcm16 },
    { "snd", Container::Au, Codec::Pcm16 },
    { "mp3", Container::Mp3, Codec::Mp3 },
    { "mp2", Container::Mp2, Codec::Mp2 },
    { "ogg", Container::Ogg, Codec::Vorbis },
    { "oga", Container::Ogg, Codec::Vorbis },
    { "flac", Container::Flac, Codec::Flac },
    { "aac", Container::Adts, Codec::Aac },
    { "m4a", Container::Mp4, Codec::Aac },
    { "mp4", Container::Mp4, Codec::Aac },
    { "ac3", Container::Ac3, Codec::Ac3 },
    { "opus", Container::Opus, Codec::Opus },
} };

struct NameEntry
{
    std::string_view name;
    Codec codec;
};

// Encoder names of the shared table that have an encoder here.
constexpr std::array<NameEntry, 11> kEncoderCodecs = { {
    { "libmp3lame", Codec::Mp3 },
    { "mp3", Codec::Mp3 },
    { "mp2", Codec::Mp2 },
    { "vorbis", Codec::Vorbis },
    { "flac", Codec::Flac },
    { "aac", Codec::Aac },
    { "pcm16le", Codec::Pcm16 },
    { "pcm16be", Codec::Pcm16 },
    { "ac3", Codec::Ac3 },
    { "opus", Codec::Opus },
    { "alac", Codec::Alac },
} };

constexpr int kMp3Rates[] = { 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000 };
constexpr int kMp2Rates[] = { 16000, 22050, 24000, 32000, 44100, 48000 };
constexpr int kAc3Rates[] = { 32000, 44100, 48000 };
constexpr int kAacRates[] = { 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000, 64000, 88200, 96000 };

std::string lowerExtension(std::string_view path)
{
    const auto slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return {};
    std::string extension(name.substr(dot + 1));
    for (char &c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

bool holds(Container container, Codec codec)
{
    switch (container) {
    case Container::Wav:
    case Container::Aiff:
    case Container::Au:
        return codec == Codec::Pcm16;
    case Container::Mp3:
        return codec == Codec::Mp3;
    case Container::Mp2:
        return codec == Codec::Mp2;
    case Container::Ogg:
        return codec == Codec::Vorbis;
    case Container::Flac:
        return codec == Codec::Flac;
    case Container::Adts:
    case Container::Mp4:
        return codec == Codec::Aac || (container == Container::Mp4 && codec == Codec::Alac);
    case Container::Ac3:
        return codec == Codec::Ac3;
    case Container::Opus:
        return codec == Codec::Opus;
    }
    return false;
}

} // namespace

CodecLimits limitsOf(Codec codec)
{
    switch (codec) {
    case Codec::Mp3:
        return { kMp3Rates, 2 };
    case Codec::Mp2:
        return { kMp2Rates, 2 };
    case Codec::Aac:
        return { kAacRates, 2 };
    case Codec::Alac: // our encoder codes one or two channels
        return { {}, 2 };
    case Codec::Vorbis:
    case Codec::Opus:
        return { {}, 8 };
    case Codec::Ac3:
        return { kAc3Rates, 6 };
    case Codec::Flac:
    case Codec::Pcm16:
        return { {}, 8 };
    }
    return { {}, 2 };
}

std::optional<Codec> codecForEncoderName(std::string_view name)
{
    const EncoderNames::Encoder *encoder = EncoderNames::find(name);
    if (!encoder || !encoder->available)
        return std::nullopt;
    for (const NameEntry &entry : kEncoderCodecs)
        if (entry.name == name)
            return entry.codec;
    return std::nullopt;
}

std::variant<OutputFormat, Failure> chooseOutputFormat(
    std::string_view outputPath, const std::optional<std::string> &encoder, bool copyAmongEncoders)
{
    const bool copy = encoder && *encoder == EncoderNames::kCopy;
    std::optional<Codec> codec;
    if (encoder && !copy) {
        codec = codecForEncoderName(*encoder);
        if (!codec)
            return Failures::kUnknownEncoder;
    }

    const std::string extension = lowerExtension(outputPath);
    const auto entry = std::find_if(
        kExtensions.begin(), kExtensions.end(), [&](const ExtensionEntry &e) { return e.extension == extension; });
    if (entry == kExtensions.end())
        return Failures::kUnknownFormat;

    OutputFormat format { entry->container, codec.value_or(entry->defaultCodec), copy };
    if (!holds(format.container, format.codec))
        return Failures::kEncoderFormat;
    format.keepsSampleFormat = format.codec == Codec::Pcm16 && (copy || copyAmongEncoders);
    return format;
}

std::variant<int, Failure> chooseRate(Codec codec, std::optional<int> asked, int inputRate)
{
    const CodecLimits limits = limitsOf(codec);
    const int wanted = asked.value_or(inputRate);
    if (limits.rates.empty()) {
        if (wanted >= kMinAnyRate && wanted <= kMaxAnyRate)
            return wanted;
        if (asked)
            return Failures::kEncoderRate;
        return std::clamp(wanted, kMinAnyRate, kMaxAnyRate);
    }
    if (std::find(limits.rates.begin(), limits.rates.end(), wanted) != limits.rates.end())
        return wanted;
    if (asked)
        return Failures::kEncoderRate;
    return *std::min_element(limits.rates.begin(), limits.rates.end(),
        [&](int a, int b) { return std::abs(a - wanted) < std::abs(b - wanted); });
}

std::variant<int, Failure> chooseChannels(Codec codec, std::optional<int> asked, int inputChannels)
{
    const CodecLimits limits = limitsOf(codec);
    if (asked) {
        if (*asked > limits.maxChannels)
            return Failures::kEncoderChannels;
        return *asked;
    }
    int channels = std::min(inputChannels, limits.maxChannels);
    // Vorbis, Opus and AC-3 order channels their own way; we map the usual layouts only.
    if ((codec == Codec::Vorbis || codec == Codec::Opus || codec == Codec::Ac3) && channels != 1 && channels != 2
        && channels != 6)
        channels = channels > 6 ? 6 : 2;
    return channels;
}

} // namespace sonmill
