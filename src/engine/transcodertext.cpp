#include "engine/transcodertext.h"

#include <array>
#include <cmath>

using namespace Qt::StringLiterals;

std::optional<int> ProgressSeconds(const QString &text)
{
    const qsizetype time = text.indexOf(u"time=");
    if (time < 0)
        return std::nullopt;
    const qsizetype bitrate = text.indexOf(u"bitrate");
    const qsizetype count = bitrate - time - 9;
    if (bitrate < 0 || count <= 0)
        return std::nullopt;
    bool ok = false;
    const int seconds = text.mid(time + 5, count).toInt(&ok);
    return ok ? std::optional<int>(seconds) : std::nullopt;
}

QString PercentStatus(int seconds, int total)
{
    if (total <= 0)
        return {};
    const double percent = double(seconds) * 100.0 / double(total);
    return QString::number(qint64(std::nearbyint(percent))) + u'%'; // default rounding: ties to even
}

bool ReportsSuccess(const QString &text)
{
    return text.contains(u"global");
}

bool ReportsFailure(const QString &text)
{
    static constexpr std::array<QStringView, 7> kWords
        = { u"Unknown", u"Incorrect", u"incorrect", u"no file", u"Unable", u"Could not", u"Error" };
    for (QStringView word : kWords) {
        if (text.contains(word))
            return true;
    }
    return false;
}

QString ConversionLogHeader(const QString &sourcePath, const QString &outputPath)
{
    return u"\nConverting \"%1\" to \"%2\"\n"_s.arg(sourcePath, outputPath);
}
