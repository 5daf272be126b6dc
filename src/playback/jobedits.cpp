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

int VolumeLabelLeft(int position)
{
    // Right of the thumb while there is room, then drawn back so it stays inside the group.
    if (position <= 207)
        return position + 12;
    if (position <= 347)
        return position - 5;
    return position - 11;
}
