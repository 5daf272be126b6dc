#include "core/exactrange.h"

#include "core/conversionfailure.h"
#include "core/startrecord.h"
#include "core/timecode.h"

#include <QRegularExpression>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

// Whole seconds of a time code, or nothing for the placeholder or any other non-number.
std::optional<int> secondsOf(const QString &timeCode)
{
    try {
        return TimeCodeToSeconds(timeCode.left(kTimeCodeLength));
    } catch (const ConversionFailure &) {
        return std::nullopt;
    }
}

} // namespace

QString ExactTimeCode(qint64 ns)
{
    ns = qMax<qint64>(0, ns);
    const qint64 whole = ns / kNsPerSecond;
    QString text = u"%1:%2:%3"_s.arg(whole / 3600, 2, 10, QLatin1Char('0'))
                       .arg(whole / 60 % 60, 2, 10, QLatin1Char('0'))
                       .arg(whole % 60, 2, 10, QLatin1Char('0'));
    qint64 fraction = ns % kNsPerSecond;
    if (fraction == 0)
        return text;
    QString digits = u"%1"_s.arg(fraction, 9, 10, QLatin1Char('0'));
    while (digits.endsWith(u'0'))
        digits.chop(1);
    return text + u'.' + digits;
}

qint64 TimeCodeToNs(const QString &text)
{
    static const QRegularExpression kForm(uR"(^(\d{2,}):(\d{2}):(\d{2})(?:\.(\d{1,9}))?$)"_s);
    const QRegularExpressionMatch match = kForm.match(text);
    if (!match.hasMatch())
        return -1;
    const qint64 seconds
        = match.captured(1).toLongLong() * 3600 + match.captured(2).toLongLong() * 60 + match.captured(3).toLongLong();
    const QString fraction = match.captured(4).leftJustified(9, u'0');
    return seconds * kNsPerSecond + fraction.toLongLong();
}

ConversionRange ExactConversionRange(const TStartRecord &job)
{
    ConversionRange range { job.StartTime, job.Length.left(kTimeCodeLength) };
    const auto start = secondsOf(job.StartTime);
    const auto length = secondsOf(job.Length);
    const auto duration = secondsOf(job.Duration);
    if (!start || !length || !duration)
        return range; // the transcoder judges what the record holds, as ever

    const qint64 startNs = job.SpanStartNs + *start * kNsPerSecond;
    qint64 endNs = startNs + qint64(*length) * kNsPerSecond;
    if (job.SpanEndNs >= 0 && (*start + *length >= *duration || endNs > job.SpanEndNs))
        endNs = job.SpanEndNs;
    if (job.SpanStartNs != 0)
        range.start = ExactTimeCode(startNs);
    if (endNs - startNs != qint64(*length) * kNsPerSecond)
        range.length = ExactTimeCode(endNs - startNs);
    return range;
}
