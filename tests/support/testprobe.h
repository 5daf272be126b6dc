#pragma once

#include "sources/mediaprobe.h"

#include <QString>

namespace TestProbe {

// One file probed through the window's own probe road, waited for: the verdict a row is made
// from. The scratch file goes into scratchFolder.
ProbeVerdict verdict(const QString &absolutePath, const QString &scratchFolder);

} // namespace TestProbe
