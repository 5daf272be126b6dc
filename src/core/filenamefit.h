#pragma once

#include <QString>

#include <functional>
#include <optional>

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

// The one rule for making way for a taken name: name as given, then base + mark + extension,
// base + mark + mark + extension ... (base is name without its extension; the marks are
// "(new)" where a row is named, "-1" where its output is started), each fitted as FitFileName
// fits it, until `taken` does not claim the name. Nothing is waited for between tries: the
// names taken are all `taken` knows of, on disk and by rows still writing. Nothing when the
// marks alone leave no room, or the fitting would only repeat a name already tried.
std::optional<QString> FreeFileName(const QString &name, const QString &extension, QStringView mark,
    const std::function<bool(const QString &name)> &taken);

// Whether a new file can be made in folder, or in the nearest folder above it that exists (a
// row's own sub-folders are made when its turn comes). Asked of the folder itself by making
// and removing a hidden file: permissions, read-only disks and places such as /proc all say
// no, for the superuser too.
bool CanWriteInFolder(const QString &folder);
