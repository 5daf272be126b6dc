#pragma once

#include "core/startrecord.h"
#include "sources/mediaprobe.h"

#include <QString>

namespace TestProbe {

// One file probed through the window's own probe road, waited for: the verdict a row is made
// from. The scratch file goes into scratchFolder.
ProbeVerdict verdict(const QString &absolutePath, const QString &scratchFolder);

// The record the window makes when it adds a file with a profile at a quality (0 High, 1
// Normal, 2 Low) of the catalogue in programFolder: the probed times, the profile's settings,
// the volume unchanged; no output path yet.
TStartRecord addedRow(const QString &source, const QString &profile, int quality, const QString &programFolder,
    const QString &scratchFolder);

} // namespace TestProbe
