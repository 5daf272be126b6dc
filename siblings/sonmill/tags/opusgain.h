#pragma once

#include "sonmill/tags/tags.h"

#include <optional>

namespace sonmill::OpusGain {

// Opus players read loudness from R128_TRACK_GAIN and R128_ALBUM_GAIN: the gain, in
// 1/256 dB (Q7.8, RFC 7845), that brings the audio to -23 LUFS on top of the header's
// output gain, which ours leaves at 0. ReplayGain fields have no meaning there.
inline constexpr double kReference = -23.0;

// The Q7.8 gain for audio measured at loudnessLufs, held to what 16 bits keep.
int fromLoudness(double loudnessLufs);
// The same from a ReplayGain 2.0 gain (against -18 LUFS).
int fromReplayGain(double gainDb);

// The tags of an Opus output: R128 values in place of the ReplayGain ones (a source's
// ReplayGain gains carried over as their R128 equal where no R128 value is set), no
// REPLAYGAIN_* field left.
void fitTags(TagSet &tags);

// A track's and an album's values as Opus keeps them; an unknown loudness (silence)
// writes no track gain.
void setTrackGain(TagSet &tags, std::optional<double> loudnessLufs);
void setAlbumGain(TagSet &tags, double replayGainDb);

} // namespace sonmill::OpusGain
