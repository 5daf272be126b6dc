#pragma once

#include <QString>

// A time code is the eight-character text hh:mm:ss in which every duration, trim point
// and position is held.
inline constexpr int kTimeCodeLength = 8;

// The Duration shown, and kept in the job record, when the length is not known.
inline constexpr QStringView kDurationPlaceholder = u"--:--:--";

// Whole seconds of a time code. Fields are taken by position (characters 1-2, 4-5, 7-8);
// the separators and anything after the eighth character are not examined, so
// "00:03:25.12" gives 205. An empty text gives 0.
// Throws ConversionFailure("'<field>' is not a valid integer value") for a field that is
// not a decimal number, e.g. the "--" of the placeholder "--:--:--".
int TimeCodeToSeconds(const QString &timeCode);

// A row's length in whole seconds; 0 when it is not a time code (a probe that printed
// nothing): such a row still converts, only without a percentage.
int LengthSecondsOrZero(const QString &timeCode);

// hh:mm:ss with two digits each and always the colon. Beyond the 24 hours of a day the
// hours go on counting up to 99 (so 90000 gives "25:00:00" and reads back the same);
// from 100 hours on the result stays at "99:59:59", the largest time code there is.
// Negative values give "00:00:00".
QString SecondsToTimeCode(int seconds);
