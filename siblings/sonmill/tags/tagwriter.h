#pragma once

#include "sonmill/base/failure.h"
#include "sonmill/base/outputformat.h"
#include "sonmill/tags/tags.h"

#include <optional>
#include <string>

namespace sonmill {

// Reads a source's tags and pictures with the tag library: Vorbis comments and FLAC
// pictures, ID3v2 (MP3, MP2, WAV, AIFF), APE and ID3v1, MP4 atoms, RIFF INFO. nullopt when
// the library does not know the file (the caller then takes GStreamer's tags).
std::optional<TagSet> readTags(const std::string &path);

// Writes the tags into a finished output file, in the tag format its container uses:
// ID3v2.4 for MP3, MP2 and ADTS AAC, Vorbis comments for Ogg and FLAC, iTunes-style atoms
// for MPEG-4, an ID3v2.4 chunk and RIFF INFO for WAV, an ID3v2.4 chunk for AIFF. AU and
// AC-3 have no place for tags. A file the tag library cannot update keeps its audio whole,
// untagged; the write failure returned is a disk without room for the tags, checked before
// the file is touched. The tag library is loaded (as a module) only when there are tags.
std::optional<Failure> writeTags(const std::string &path, Container container, const TagSet &tags);

} // namespace sonmill
