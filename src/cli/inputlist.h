#pragma once

#include "cli/batchsources.h"

#include <QString>
#include <QStringList>

#include <optional>

// --files-from: the entries of a list file ("-" for standard input), one a line or, with -0,
// NUL-separated; empty entries left out. nullopt with the reason when it cannot be read.
std::optional<QStringList> ReadInputList(const QString &file, bool nulSeparated, QString *error);

// The sources of listed entries, as GatherSources gives them for arguments, except that a file
// listed by a relative path keeps that path's folders below the output folder (a list made by
// "find ." mirrors its tree). A path that climbs out with ".." goes straight into it.
GatheredSources GatherListed(const QStringList &entries, bool recursive, const QString &outputFolder);
