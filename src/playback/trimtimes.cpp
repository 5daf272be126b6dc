#include "playback/trimtimes.h"

#include "core/timecode.h"

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype kMinuteTens = 3;
constexpr qsizetype kSecondTens = 6;
constexpr int kHoursInDay = 24;

std::optional<int> twoDigits(const QString &text, qsizetype at)
{
    const QChar high = text.at(at);
    const QChar low = text.at(at + 1);
    if (!high.isDigit() || !low.isDigit() || high.unicode() > '9' || low.unicode() > '9')
        return std::nullopt;
    return (high.unicode() - '0') * 10 + (low.unicode() - '0');
}

} // namespace

std::optional<int> TimeOfDaySeconds(const QString &text)
{
    if (text.size() != kTimeCodeLength || text.at(2) != u':' || text.at(5) != u':')
        return std::nullopt;
    const auto hours = twoDigits(text, 0);
    const auto minutes = twoDigits(text, 3);
    const auto seconds = twoDigits(text, 6);
    if (!hours || !minutes || !seconds || *hours >= kHoursInDay || *minutes > 59 || *seconds > 59)
        return std::nullopt;
    return *hours * 3600 + *minutes * 60 + *seconds;
}

QString WithTensDigitsFixed(const QString &text)
{
    QString fixed = text;
    for (const qsizetype at : { kMinuteTens, kSecondTens }) {
        if (at < fixed.size() && fixed.at(at) > u'5' && fixed.at(at) <= u'9')
            fixed[at] = u'0';
    }
    return fixed;
}

TrimCheck CheckTrimField(TrimField field, const QString &startText, const QString &endText, int durationSeconds)
{
    TrimCheck check;
    const QString &own = field == TrimField::Start ? startText : endText;
    const auto start = TimeOfDaySeconds(startText);
    const auto end = TimeOfDaySeconds(endText);
    if (!start || !end) {
        check.outcome = TrimCheck::NotATime;
        check.message
            = u"'%1' is not a valid time."_s.arg(!TimeOfDaySeconds(own) ? own : (start ? endText : startText));
        return check;
    }
    const int ownSeconds = field == TrimField::Start ? *start : *end;
    if (*end < *start || ownSeconds > durationSeconds) {
        check.outcome = TrimCheck::Undo;
        return check;
    }
    check.length = SecondsToTimeCode(*end - *start);
    check.selectionSeconds = ownSeconds;
    return check;
}

QString TrimEndText(const QString &startText, const QString &lengthText)
{
    return SecondsToTimeCode(TimeCodeToSeconds(startText) + TimeCodeToSeconds(lengthText));
}
