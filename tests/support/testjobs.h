#pragma once

#include "core/startrecord.h"

// Job records as the tests start from them.
namespace TestJobs {

// An MP3 at 128 kbps, 44100 Hz stereo, video dropped, from the start for length, volume
// unchanged: what adding a file with the MP3 profile at "Normal" gives.
TStartRecord mp3(const QString &source, const QString &output, const QString &length);

// A row's job as adding the source leaves it before a profile applies: its path, its
// probed duration, the range (the whole file when length is empty) and the volume unchanged.
TStartRecord source(const QString &path, const QString &duration, const QString &start = kStartOfFile.toString(),
    const QString &length = {});

} // namespace TestJobs
