#include "sonmill/tags/opusgain.h"

#include "sonmill/loudness/loudness.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string>

namespace sonmill::OpusGain {
namespace {

constexpr double kStepsPerDb = 256.0;
constexpr int kLowest = -32768;
constexpr int kHighest = 32767;

constexpr const char *kTrackGain = "R128_TRACK_GAIN";
constexpr const char *kAlbumGain = "R128_ALBUM_GAIN";

struct Carried
{
    const char *replayGain;
    const char *r128;
};
constexpr std::array<Carried, 2> kCarried
    = { { { "REPLAYGAIN_TRACK_GAIN", kTrackGain }, { "REPLAYGAIN_ALBUM_GAIN", kAlbumGain } } };
constexpr std::array<const char *, 5> kReplayGainKeys = { "REPLAYGAIN_TRACK_GAIN", "REPLAYGAIN_TRACK_PEAK",
    "REPLAYGAIN_ALBUM_GAIN", "REPLAYGAIN_ALBUM_PEAK", "REPLAYGAIN_REFERENCE_LOUDNESS" };

int steps(double db)
{
    return static_cast<int>(std::clamp<long>(std::lround(db * kStepsPerDb), kLowest, kHighest));
}

// "-6.20 dB", "-6.2": the number in front; nullopt when there is none.
std::optional<double> gainOf(const std::string &text)
{
    const char *begin = text.c_str();
    char *end = nullptr;
    const double value = std::strtod(begin, &end);
    if (end == begin || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

int fromLoudness(double loudnessLufs)
{
    return steps(kReference - loudnessLufs);
}

int fromReplayGain(double gainDb)
{
    return steps(gainDb + kReference - kReplayGainReference);
}

void fitTags(TagSet &tags)
{
    for (const Carried &carried : kCarried) {
        const TagSet::Values &values = tags.values(carried.replayGain);
        if (values.empty() || !tags.values(carried.r128).empty())
            continue;
        if (const std::optional<double> gain = gainOf(values.front()))
            tags.set(carried.r128, { std::to_string(fromReplayGain(*gain)) });
    }
    for (const char *key : kReplayGainKeys)
        tags.remove(key);
}

void setTrackGain(TagSet &tags, std::optional<double> loudnessLufs)
{
    if (loudnessLufs)
        tags.set(kTrackGain, { std::to_string(fromLoudness(*loudnessLufs)) });
}

void setAlbumGain(TagSet &tags, double replayGainDb)
{
    tags.set(kAlbumGain, { std::to_string(fromReplayGain(replayGainDb)) });
}

} // namespace sonmill::OpusGain
