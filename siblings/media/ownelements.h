#pragma once

#include <string>

namespace media {

// Makes the elements we add to GStreamer (decoders for what the allowed plugin sets
// cannot decode: AAC with faad2; AIFF, CAF and Wave64 with libsndfile; Apple Lossless with
// our own decoder; and an MPEG-4 audio reader whose memory does not grow with the file) known to the registry. They
// live in our own plugin files in the program folder, which GStreamer loads only when a stream needs one of their
// elements. Called by initialiseGStreamer().
void registerOwnElements();

// The folder of our plugins: "gst-plugins" beside the running executable, or the build
// tree's one for programs (tests) that live elsewhere.
std::string ownPluginFolder();

// The source package name our plugins declare, allowed next to GStreamer's own sets.
inline constexpr const char *kOwnPluginSource = "tolm-audio-converter";
inline constexpr const char *kOwnPluginNames[] = { "tolmaac", "tolmsndfile", "tolmmp4", "tolmalac" };

} // namespace media
