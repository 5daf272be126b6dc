#include "engine/transcodertext.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>

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

std::optional<int> RowPercent(int seconds, int total)
{
    if (total <= 0)
        return std::nullopt;
    const double percent = double(seconds) * 100.0 / double(total);
    // A position far past a short total ("time=99999999") would not fit an int.
    constexpr double kMost = std::numeric_limits<int>::max();
    return int(std::nearbyint(std::clamp(percent, -kMost, kMost))); // default rounding: ties to even
}

QString PercentStatus(int seconds, int total)
{
    const std::optional<int> percent = RowPercent(seconds, total);
    return percent ? QString::number(*percent) + u'%' : QString();
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

QStringList TranscoderLines::take(const QString &text)
{
    m_pending += text;
    QStringList lines;
    qsizetype begin = 0;
    for (qsizetype i = 0; i < m_pending.size(); ++i) {
        const QChar c = m_pending.at(i);
        if (c != u'\n' && c != u'\r')
            continue;
        if (i > begin)
            lines << m_pending.mid(begin, i - begin);
        begin = i + 1;
    }
    m_pending.remove(0, begin);
    return lines;
}

QString TranscoderLines::rest()
{
    return std::exchange(m_pending, QString());
}

QString FailureReason(const QString &text)
{
    TranscoderLines cut;
    QStringList lines = cut.take(text);
    if (const QString rest = cut.rest(); !rest.isEmpty())
        lines << rest;
    for (const QString &line : std::as_const(lines)) {
        if (line.startsWith(u"Error: "))
            return line.mid(7).trimmed();
    }
    for (const QString &line : std::as_const(lines)) {
        if (ReportsFailure(line))
            return line.trimmed();
    }
    return {};
}

QString ConversionLogHeader(const QString &sourcePath, const QString &outputPath)
{
    return u"\nConverting \"%1\" to \"%2\"\n"_s.arg(sourcePath, outputPath);
}
