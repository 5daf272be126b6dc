#pragma once

#include <QString>

// Linux's limits, counted in the bytes the file system keeps (UTF-8): one name may hold 255
// of them, a whole path 4095.
inline constexpr int kMaxFileNameBytes = 255;
inline constexpr int kMaxPathBytes = 4095;

// The output file name base + tail, where tail is what must stay whole (the "-1" or "(new)"
// marks that make the name free, and the extension, which decides the format). When the
// name would pass kMaxFileNameBytes, base is shortened at a character boundary (never
// inside a character, nor between a letter and its accents) until it fits. Empty when tail
// alone does not fit.
QString FitFileName(const QString &base, const QString &tail);

// The UTF-8 size of a name or path, as the file system counts it.
qsizetype FileSystemBytes(QStringView text);
