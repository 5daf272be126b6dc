#include "engine/transcodertext.h"

#include "protocol/sonmillprotocol.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

constexpr QStringView kTimeWord = u"" SONMILL_TIME_WORD;
constexpr QStringView kBitrateWord = u"" SONMILL_BITRATE_WORD;
constexpr QStringView kErrorWord = u"" SONMILL_ERROR_WORD;

} // namespace

std::optional<int> ProgressSeconds(const QString &text)
{
    const qsizetype time = text.indexOf(kTimeWord);
    if (time < 0)
        return std::nullopt;
    const qsizetype bitrate = text.indexOf(kBitrateWord);
    const qsizetype count = bitrate - time - kTimeWord.size() - SonmillProtocol::kProgressFractionLength;
    if (bitrate < 0 || count <= 0)
        return std::nullopt;
    bool ok = false;
    const int seconds = text.mid(time + kTimeWord.size(), count).toInt(&ok);
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
    return text.contains(u"" SONMILL_SUCCESS_WORD);
}

bool ReportsFailure(const QString &text)
{
    return std::any_of(std::begin(SonmillProtocol::kFailureWords), std::end(SonmillProtocol::kFailureWords),
        [&text](
            std::string_view word) { return text.contains(QLatin1StringView(word.data(), qsizetype(word.size()))); });
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
        if (line.startsWith(kErrorWord))
            return line.mid(kErrorWord.size()).trimmed();
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
