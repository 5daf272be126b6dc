#pragma once

#include "sonmill/tags/tags.h"

#include <string>

namespace sonmill {

// How the output's audio differs from the source's.
struct AudioChanges
{
    bool volume = false; // a volume other than 100 %
    bool range = false; // less than the whole source
    bool encoding = false; // decoded and encoded again (not copied as it is)
};

// The source's tags and pictures: read by the tag library where it knows the file, else
// taken from what GStreamer's demuxers found. A source without pictures gets the cover
// picture beside it (coverfile.h) as its front cover.
TagSet sourceTags(const std::string &path, const GstTagList *demuxerTags);

// Drops what describes the old audio: the loudness fields when the volume or the range
// changed, the encoder's fields when the audio was encoded again. Then the per-row values
// given for the output replace the source's (applyTagValues).
void fitTagsToOutput(TagSet &tags, const AudioChanges &changes, const TagValues &values);

} // namespace sonmill
