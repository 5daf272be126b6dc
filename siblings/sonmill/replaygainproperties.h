#pragma once

#include "sonmill/replaygainfields.h"

#include <taglib/mp4tag.h>
#include <taglib/tpropertymap.h>

namespace sonmill {

// Puts the REPLAYGAIN_* values into a tag library property map, as the tag library turns
// them into each format's own place: Vorbis comments, ID3v2 TXXX frames, MP4 freeform
// atoms. Gains read "-7.53 dB", peaks "0.988553", as ReplayGain readers expect.
void addReplayGain(TagLib::PropertyMap &map, const ReplayGainFields *values);

// The tag library keeps MPEG-4 properties it has no atom for out of the file: there the
// same values go into "----:com.apple.iTunes:REPLAYGAIN_*" freeform atoms, as players read
// them.
void addReplayGainAtoms(TagLib::MP4::Tag &tag, const ReplayGainFields *values);

} // namespace sonmill
