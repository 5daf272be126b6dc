#pragma once

#include "sonmill/failure.h"
#include "sonmill/outputformat.h"
#include "sonmill/replaygainfields.h"
#include "sonmill/tagfields.h"
#include "sonmill/tags.h"

#include <optional>
#include <string>

namespace sonmill {

// Writes the tags into a finished output file, in the tag format its container uses:
// ID3v2 for MP3, MP2 and ADTS AAC, Vorbis comments for Ogg and FLAC, iTunes-style atoms
// for MPEG-4, RIFF INFO and ID3v2 for WAV, ID3v2 for AIFF. AU has no place for tags.
// A file the tag library cannot update keeps its audio whole, untagged; the write failure
// returned is a disk without room for the tags, checked before the file is touched.
// The tag library is loaded (as a module) only when there are tags to write.
// replayGain: values measured or told for this output, written with the tags.
std::optional<Failure> writeTags(
    const std::string &path, Container container, const TagSet &tags, const ReplayGainFields &replayGain = {});

} // namespace sonmill
