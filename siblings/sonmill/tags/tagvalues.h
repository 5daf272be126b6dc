#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sonmill {

// Reads one -tag KEY=VALUE (how a track cut from an album image gets its own title, artist
// and number): whether KEY names a key this program takes, with a well-formed value (track
// and disc take "n" or "n/total"). When it does, the pair is added to values under the key's
// Vorbis comment name, the form Options::tagValues holds and the output's tag set applies.
bool addTagValue(std::vector<std::pair<std::string, std::string>> &values, std::string_view argument);

} // namespace sonmill
