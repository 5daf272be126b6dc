#pragma once

namespace media {

// Registers the elements we add to GStreamer (decoders for what the allowed plugin sets
// cannot decode). Called by initialiseGStreamer().
void registerOwnElements();

} // namespace media
