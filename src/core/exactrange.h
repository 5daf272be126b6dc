#pragma once

#include <QString>

struct TStartRecord;

inline constexpr qint64 kNsPerSecond = 1'000'000'000;

// The values of -ss and -t for a row. The row's whole-second time codes are passed as they
// are while they say all there is; they are replaced by exact times only where the whole
// seconds would lose something: a range that reaches the row's end goes to its exact end
// (SpanEndNs), and a row that begins inside its file (a track) starts at its exact point.
struct ConversionRange
{
    QString start;
    QString length;
};
ConversionRange ExactConversionRange(const TStartRecord &job);

// hh:mm:ss, followed by a point and the fraction's digits (up to nine, trailing zeros left
// out) when the time is not a whole second. Negative values give "00:00:00".
QString ExactTimeCode(qint64 ns);

// Reads the transcoder's "hh:mm:ss.hh" (the hundredths may be missing) as nanoseconds; -1
// when the text is not of that form.
qint64 TimeCodeToNs(const QString &text);
