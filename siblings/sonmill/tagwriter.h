#pragma once

#include "sonmill/outputformat.h"
#include "sonmill/tagfields.h"
#include "sonmill/tags.h"

#include <string>

namespace sonmill {

// Writes the tags into a finished output file, in the tag format its container uses:
// ID3v2 for MP3, MP2 and ADTS AAC, Vorbis comments for Ogg and FLAC, iTunes-style atoms
// for MPEG-4, RIFF INFO and ID3v2 for WAV, ID3v2 for AIFF. AU has no place for tags.
// Returns false when the file could not be updated; the audio is then still whole.
// The tag library is loaded (as a module) only when there are tags to write.
bool writeTags(const std::string &path, Container container, const TagSet &tags);

} // namespace sonmill
