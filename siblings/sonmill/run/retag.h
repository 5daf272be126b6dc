#pragma once

#include "sonmill/base/failure.h"
#include "sonmill/cli/console.h"
#include "sonmill/cli/options.h"

#include <optional>

namespace sonmill {

// -retag: the output, converted before from the same input by the same command line, gets
// the input's tags and pictures written anew, its audio untouched. The tags go into a copy
// beside it that takes its name when written, so a stopped run leaves the old file whole.
// The output's own loudness fields (measured when it was converted) stay when the command
// asks for loudness values, and its encoder fields always do: they describe its audio.
std::optional<Failure> retagOutput(const Options &options, Console &console);

} // namespace sonmill
