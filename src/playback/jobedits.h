#pragma once

#include <QString>

struct TStartRecord;

// What the trim and effect dialogs' OK writes into a row's job.

// StartTime and Length, and nothing else; false, with the job unchanged, unless both are times
// of day (a length that was never computed must not reach the transcoder).
bool ApplyTrim(TStartRecord &job, const QString &startText, const QString &lengthText);

// The effect dialog's volume, a percentage from 0 to 400, stored as it is.
inline constexpr int kLowestVolume = 0;
inline constexpr int kHighestVolume = 400;
void ApplyVolume(TStartRecord &job, int volume);

// Left edge, in the volume group's pixels, of the value shown beside the thumb at `position`.
int VolumeLabelLeft(int position);
