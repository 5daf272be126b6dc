#include "playback/jobedits.h"

#include "core/startrecord.h"
#include "playback/trimtimes.h"

bool ApplyTrim(TStartRecord &job, const QString &startText, const QString &lengthText)
{
    if (!TimeOfDaySeconds(startText) || !TimeOfDaySeconds(lengthText))
        return false;
    job.StartTime = startText;
    job.Length = lengthText;
    return true;
}

void ApplyVolume(TStartRecord &job, int volume)
{
    job.Volume = qBound(kLowestVolume, volume, kHighestVolume);
}

QString NormalizeTargetText(int lufs)
{
    return QString::number(lufs) + QStringLiteral(" LUFS");
}

int NormalizeTargetIndex(std::optional<int> lufs)
{
    const int wanted = lufs.value_or(kDefaultNormalizeTarget);
    for (std::size_t i = 0; i < kNormalizeTargets.size(); ++i)
        if (kNormalizeTargets[i] == wanted)
            return int(i);
    return NormalizeTargetIndex(kDefaultNormalizeTarget);
}

void ApplyNormalize(TStartRecord &job, bool checked, int targetIndex)
{
    if (!checked || targetIndex < 0 || targetIndex >= int(kNormalizeTargets.size())) {
        job.Loudness.normalizeLufs.reset();
        return;
    }
    job.Loudness.normalizeLufs = kNormalizeTargets[std::size_t(targetIndex)];
}

int VolumeLabelLeft(int position)
{
    // Right of the thumb while there is room, then drawn back so it stays inside the group.
    if (position <= 207)
        return position + 12;
    if (position <= 347)
        return position - 5;
    return position - 11;
}
