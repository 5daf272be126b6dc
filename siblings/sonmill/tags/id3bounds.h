#pragma once

// ID3v2 frames that a reader must not open whole: a compressed frame is inflated by the tag
// library in one piece, so a small frame that inflates to hundreds of megabytes would take
// that much memory before anything could look at it. The tag at the start of a file is
// scanned first with a bounded inflate; the frames found too large are then handed to the
// tag library as opaque frames that our reader does not take.

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <utility>

namespace sonmill::Id3Bounds {

// The most a compressed frame may inflate to: larger than any picture a FLAC block can hold.
inline constexpr std::uint64_t kMaxInflatedFrameBytes = 16u << 20;

// Frames by their identity as the tag library meets them: four-letter id and stored size.
using FrameKeys = std::set<std::pair<std::string, std::uint32_t>>;

// The compressed frames of the ID3v2.3/2.4 tag at the start of the file that inflate past the
// limit (or that cannot be judged, as in a tag unsynchronised whole). Empty when there is none.
FrameKeys oversizedFrames(const char *path);

} // namespace sonmill::Id3Bounds
