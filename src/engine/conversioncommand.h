#pragma once

#include "core/commandline.h"
#include "core/startrecord.h"

#include <functional>

// The transcoder command for one job, built right before the row's transcoder starts:
//
//   sonmill qzv -y -i "<in>"  -ss  <start>  -t  <length>   -vol  <v>  -ar  <rate>
//     -acodec  <encoder> -ab <n>k  -qscale 6  -ac  <channels> -vn   "<out>"
//
// (one line; the irregular blanks are part of the format). A lossless job passes
// "-acodec  copy" in place of volume and rate, followed by its encoder. Loudness choices
// (normalising, ReplayGain tags) add "  -normalize  <LUFS>", "  -replaygain  track" and
// the album's "  -albumgain  <dB>  -albumpeak  <peak>" before the output, only when made.
// The output goes to the job's OutputPath as it is (FreeOutputPath settles it first).
// The builder never fails: unexpected field contents give empty option values, and the
// transcoder's reaction decides the row's outcome. It reads nothing but the job.
CommandLine BuildConversionCommand(const TStartRecord &job);

// Where the job's output may go, right before its transcoder starts: its OutputPath, or, when
// a file is there, the name with "-1" before the extension, again on each pass, until it is
// free (FreeFileName's rule). The one exception is the unchanged file the job is marked to
// replace (not its source). isTaken names paths that count as taken although no file is there
// yet: the outputs of rows converting at the same time, still written under temporary names.
using OutputTaken = std::function<bool(const QString &path)>;
QString FreeOutputPath(const TStartRecord &job, const OutputTaken &isTaken = {});

// The number text in front of a unit ("44100 Hz" -> "44100", "128 kbps" -> "128"): the
// text up to two characters before the unit's first occurrence, empty when the unit is
// missing or nothing stands before it.
QString NumberBeforeUnit(const QString &text, QStringView unit);
