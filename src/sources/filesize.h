#pragma once

#include <QString>

// Size in bytes of the file (or folder) at path, relative paths taken against the
// current folder; -1 when nothing of that name exists. Full 64-bit sizes, so files of
// 2 GiB and more show their real size.
qint64 FileSizeBytes(const QString &path);

// Whole megabytes (1 MB = 1024 x 1024 bytes), halves rounded away from zero, grouped by
// three with the locale's thousands separator, then " MB". A size that rounds to 0 shows
// no digit at all: " MB".
QString FileSizeText(qint64 bytes);
