#pragma once

#include "core/startrecord.h"

#include <QString>

#include <optional>

// Whether a row may go to the transcoder at all, decided from its job alone before anything
// is started or written. Returns the text for the log when the row is refused (it then
// fails without a transcoder), empty when it may convert.
//
// Refused: an output folder no file can be made in (the transcoder's own complaint would
// come only after a whole decode, and in its words); a trimmed range of no length (start and end the same second). The
// transcoder would write an empty file and report success. A source that is itself shorter than a second shows
// "00:00:00" as both its length and its range, and still converts.
std::optional<QString> RowRefusal(const TStartRecord &job);
