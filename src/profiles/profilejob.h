#pragma once

#include "profiles/profilecatalogue.h"

#include <QString>

struct TStartRecord;

// The quality chooser's positions; any other position reads as Low.
namespace QualityPosition {
enum { High = 0, Normal = 1, Low = 2 };
}

// The profile key that holds the bit rate of a quality position: ABRH, ABRN, else ABRL.
QStringView QualityBitrateKey(int qualityPosition);

// The profile's bit rate at a quality position, with the readers' default.
QString QualityBitrate(const ProfileSettings &settings, int qualityPosition);

// A new row takes the profile's sample rate whatever the profile; a profile chosen for an
// existing row leaves a lossless row's sample rate as it was.
enum class SampleRateRule { Always, UnlessLossless };

// Fills a job record's output settings from a profile and a quality: its name, extension,
// encoder, channels and switches; the sample rate by the rule; and the bit rate of the
// quality unless the profile is lossless or offers no bit rate (then it is left as it was).
// Each field is cut to its capacity. The one step every chooser, dialog and adder takes.
void ApplyProfileToJob(TStartRecord &job, const QString &profileName, const ProfileSettings &settings,
    int qualityPosition, SampleRateRule sampleRateRule = SampleRateRule::Always);
