#include "sonmill/replaygainproperties.h"

#include <cstdio>

namespace sonmill {
namespace {

TagLib::StringList gainText(double db)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f dB", db);
    return TagLib::StringList(TagLib::String(text));
}

TagLib::StringList peakText(double peak)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", peak);
    return TagLib::StringList(TagLib::String(text));
}

} // namespace

void addReplayGain(TagLib::PropertyMap &map, const ReplayGainFields *values)
{
    if (!values)
        return;
    if (values->hasTrack) {
        map.replace("REPLAYGAIN_TRACK_GAIN", gainText(values->trackGainDb));
        map.replace("REPLAYGAIN_TRACK_PEAK", peakText(values->trackPeak));
    }
    if (values->hasAlbum) {
        map.replace("REPLAYGAIN_ALBUM_GAIN", gainText(values->albumGainDb));
        map.replace("REPLAYGAIN_ALBUM_PEAK", peakText(values->albumPeak));
    }
}

void addReplayGainAtoms(TagLib::MP4::Tag &tag, const ReplayGainFields *values)
{
    TagLib::PropertyMap map;
    addReplayGain(map, values);
    for (const auto &[key, texts] : map)
        tag.setItem("----:com.apple.iTunes:" + key, TagLib::MP4::Item(texts));
}

} // namespace sonmill
