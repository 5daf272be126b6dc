#include "core/timecode.h"

#include "core/conversionfailure.h"

using namespace Qt::StringLiterals;

namespace {

// Decimal integer as the conversion routine of the original program accepted it:
// surrounding blanks, an optional sign, then digits.
int fieldValue(const QString &field)
{
    bool ok = false;
    const int value = field.trimmed().toInt(&ok, 10);
    if (!ok)
        throw ConversionFailure(u"'%1' is not a valid integer value"_s.arg(field));
    return value;
}

} // namespace

int TimeCodeToSeconds(const QString &timeCode)
{
    if (timeCode.isEmpty())
        return 0;
    const int hours = fieldValue(timeCode.mid(0, 2));
    const int minutes = fieldValue(timeCode.mid(3, 2));
    const int seconds = fieldValue(timeCode.mid(6, 2));
    return hours * 3600 + minutes * 60 + seconds;
}

QString SecondsToTimeCode(int seconds)
{
    constexpr int kLargest = 99 * 3600 + 59 * 60 + 59;
    seconds = qBound(0, seconds, kLargest);
    return u"%1:%2:%3"_s.arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

int LengthSecondsOrZero(const QString &timeCode)
{
    try {
        return qMax(0, TimeCodeToSeconds(timeCode));
    } catch (const ConversionFailure &) {
        return 0;
    }
}
