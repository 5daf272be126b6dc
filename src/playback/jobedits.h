#pragma once

#include <QString>

#include <array>
#include <optional>

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

// The effect dialog's "Normalize loudness": the targets its chooser offers, in LUFS, in
// the chooser's order, and the one it shows for a row that has none.
inline constexpr std::array<int, 4> kNormalizeTargets { -14, -16, -18, -23 };
inline constexpr int kDefaultNormalizeTarget = -16;
// "-16 LUFS"
QString NormalizeTargetText(int lufs);
// The chooser's position for a target (the default's for none or one it does not offer).
int NormalizeTargetIndex(std::optional<int> lufs);
// The dialog's choice into the job: the target at the chooser's position when the box is
// checked, none otherwise. The volume stays as it is (the transcoder sets it aside while
// normalising and says so in the log).
void ApplyNormalize(TStartRecord &job, bool checked, int targetIndex);
