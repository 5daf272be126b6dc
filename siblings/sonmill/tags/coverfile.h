#pragma once

#include "sonmill/tags/tags.h"

#include <optional>
#include <string>

namespace sonmill {

// The picture beside a source that stands for its front cover: cover, folder or front
// (in that order), .jpg, .jpeg or .png, in any letter case, holding a JPEG or PNG. Read
// whole, as the file has it. nullopt when there is none (or it is too large to embed).
std::optional<Picture> coverBeside(const std::string &sourcePath);

} // namespace sonmill
