#pragma once

#include <chrono>

namespace sonmill {

// -probeworker: probes one source a line from standard input, each answered with the text
// of a probe run on its own and the end line (see protocol/probeworker.h), until the input
// ends. Returns the exit status.
int runProbeWorker(const char *scratchPath, std::chrono::milliseconds stallLimit);

} // namespace sonmill
