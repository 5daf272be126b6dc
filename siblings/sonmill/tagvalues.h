#pragma once

#include "sonmill/tags.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sonmill {

// Tag values given on the command line (-tag KEY=VALUE), written in place of the input's:
// how a track cut from an album image gets its own title, artist and number.
using TagValues = std::vector<std::pair<std::string, std::string>>;

// Whether "KEY=VALUE" names a key this program writes, with a well-formed value (track and
// disc take "n" or "n/total"); the pair is added to values when it does.
bool addTagValue(TagValues &values, std::string_view argument);

// The input's tags with the given values in their place; an empty value removes the tag.
TagSet withTagValues(TagSet tags, const TagValues &values);

} // namespace sonmill
