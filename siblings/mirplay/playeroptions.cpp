#include "playeroptions.h"

#include <QFileInfo>
#include <QLocale>

using namespace Qt::StringLiterals;

namespace {

constexpr QStringView kKey = u"qzv";
constexpr QStringView kStartOption = u"-ss";
constexpr QStringView kWidthOption = u"-x";
constexpr QStringView kHeightOption = u"-y";
// Larger sizes are refused rather than letting a typing slip ask for a huge window.
constexpr int kMaxSide = 16384;

// Whole or fractional seconds, or a time code hh:mm:ss with an optional fraction.
std::optional<double> readSeconds(const QString &text)
{
    const QLocale c = QLocale::c();
    bool ok = false;
    const QStringList parts = text.split(u':');
    if (parts.size() == 1) {
        const double seconds = c.toDouble(text, &ok);
        if (ok && seconds >= 0.0 && seconds < 1.0e9)
            return seconds;
        return std::nullopt;
    }
    if (parts.size() != 3)
        return std::nullopt;
    const uint hours = c.toUInt(parts[0], &ok);
    if (!ok)
        return std::nullopt;
    const uint minutes = c.toUInt(parts[1], &ok);
    if (!ok || minutes > 59)
        return std::nullopt;
    const double seconds = c.toDouble(parts[2], &ok);
    if (!ok || seconds < 0.0 || seconds >= 60.0)
        return std::nullopt;
    return hours * 3600.0 + minutes * 60.0 + seconds;
}

std::optional<int> readSide(const QString &text)
{
    bool ok = false;
    const int side = QLocale::c().toInt(text, &ok);
    if (!ok || side < 1 || side > kMaxSide)
        return std::nullopt;
    return side;
}

// A name that exists is taken as it is (a name may end in a blank); otherwise blanks and a
// pair of quotes around it are dropped.
QString cleanFileName(const QString &given)
{
    if (QFileInfo::exists(given))
        return given;
    QString file = given.trimmed();
    if (file.size() >= 2 && file.startsWith(u'"') && file.endsWith(u'"'))
        file = file.sliced(1, file.size() - 2);
    return file;
}

PlayerOptionsResult failure(const QString &message)
{
    return { std::nullopt, message };
}

} // namespace

PlayerOptionsResult parsePlayerArguments(const QStringList &arguments)
{
    if (arguments.isEmpty() || arguments.first() != kKey)
        return failure(u"the first argument must be %1"_s.arg(kKey));
    if (arguments.size() < 2)
        return failure(u"no file to play"_s);

    PlayerOptions options;
    options.file = cleanFileName(arguments.last());
    if (options.file.isEmpty())
        return failure(u"no file to play"_s);

    const qsizetype optionsEnd = arguments.size() - 1;
    for (qsizetype i = 1; i < optionsEnd; ++i) {
        const QString &option = arguments[i];
        if (option != kStartOption && option != kWidthOption && option != kHeightOption)
            return failure(u"unknown option %1"_s.arg(option));
        if (i + 1 >= optionsEnd)
            return failure(u"%1 needs a value"_s.arg(option));
        const QString &value = arguments[++i];
        if (option == kStartOption) {
            const std::optional<double> seconds = readSeconds(value);
            if (!seconds)
                return failure(u"%1 needs seconds or hh:mm:ss, not %2"_s.arg(option, value));
            options.startSeconds = *seconds;
        } else {
            const std::optional<int> side = readSide(value);
            if (!side)
                return failure(u"%1 needs a size from 1 to %2, not %3"_s.arg(option).arg(kMaxSide).arg(value));
            (option == kWidthOption ? options.width : options.height) = *side;
        }
    }
    return { options, {} };
}

QString playerUsage()
{
    return u"usage: mirplay qzv -ss <seconds> -x <width> -y <height> <file>"_s;
}
