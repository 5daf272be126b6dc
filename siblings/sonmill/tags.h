#pragma once

#include <gst/gst.h>

#include <string>

namespace sonmill {

// The tags copied from input to output. Text is UTF-8 as GStreamer delivers it; it is
// written into the output file only, never printed.
struct TagSet
{
    std::string title;
    std::string artist;
    std::string album;
    std::string albumArtist;
    std::string date; // "YYYY", "YYYY-MM" or "YYYY-MM-DD"
    std::string genre;
    std::string comment;
    unsigned track = 0;
    unsigned trackCount = 0;
    unsigned disc = 0;
    unsigned discCount = 0;

    bool empty() const;
};

TagSet tagSetFrom(const GstTagList *tags);

} // namespace sonmill
