#pragma once

#include "sonmill/tags/tagmap.h"

#include <gst/gst.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace sonmill {

// One embedded picture, its bytes exactly as the source holds them.
struct Picture
{
    static constexpr int kFrontCover = 3; // the ID3v2 and FLAC picture type
    int type = kFrontCover;
    std::string mime;
    std::string description;
    std::string data;

    bool operator==(const Picture &) const = default;
};

// The tags copied from input to output, keyed by canonical Vorbis comment names
// (TagMap::canonicalKey), several values per name where the source has several. The tag
// writer maps each name to the output format's own (see tagmap.cpp). Text is UTF-8; it is
// written into the output file only, never printed.
//
// Anything that sets a value for the output (a measured ReplayGain, a value given on the
// command line) sets it here by its Vorbis comment name:
//     tags.set("REPLAYGAIN_TRACK_GAIN", {"-6.20 dB"});
//     tags.set("ARTIST", {"One", "Two"});
class TagSet
{
public:
    using Values = std::vector<std::string>;

    // Replaces the values of a field; no values (or only empty ones) removes it.
    // "n/total" in TRACKNUMBER or DISCNUMBER also sets the total.
    void set(std::string_view key, const Values &values);
    // Adds one value after those the field has (an empty value adds nothing).
    void add(std::string_view key, const std::string &value);
    void remove(std::string_view key);
    // Empty when the field is absent.
    const Values &values(std::string_view key) const;
    // Every field by canonical name, in name order.
    const std::map<std::string, Values> &fields() const { return m_fields; }

    // Removes every field of a role (the old audio's loudness, its encoding).
    void removeRole(TagRole role);

    const std::vector<Picture> &pictures() const { return m_pictures; }
    void addPicture(Picture picture);

    bool empty() const { return m_fields.empty() && m_pictures.empty(); }

    // Bytes of all values and pictures with the framing around them, for the room a file
    // needs for them.
    std::size_t byteSize() const;

private:
    std::map<std::string, Values> m_fields;
    std::vector<Picture> m_pictures;
};

// Per-row values given for the output: KEY=value replaces what the source holds under KEY
// (a Vorbis comment name, any case); several entries of one key give several values; an
// empty value removes the field.
using TagValues = std::vector<std::pair<std::string, std::string>>;
void applyTagValues(TagSet &tags, const TagValues &values);

// The tags GStreamer's demuxers found, for sources the tag library does not open (video
// containers, say).
TagSet tagSetFrom(const GstTagList *tags);

} // namespace sonmill
