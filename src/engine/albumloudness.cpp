#include "engine/albumloudness.h"

#include "core/siblingcommands.h"
#include "engine/transcodertext.h"
#include "platform/childprocess.h"

#include <QRegularExpression>

#include <cmath>

using namespace Qt::StringLiterals;
namespace Opt = TranscoderOption;

namespace {

constexpr double kReplayGainReference = -18.0;
constexpr QStringView kAlbumLabel = u"" SONMILL_ALBUM_LOUDNESS_LABEL;
constexpr QStringView kNoValue = u"" SONMILL_NO_VALUE;

} // namespace

AlbumLoudness::AlbumLoudness() = default;
AlbumLoudness::~AlbumLoudness() = default;

CommandLine AlbumLoudness::command(const QStringList &sources)
{
    CommandLine cmd;
    cmd.program = kTranscoderName.toString();
    cmd.append(kTranscoderName + u" "_s + kSiblingKey + u" "_s + Opt::Measure,
        { kSiblingKey.toString(), Opt::Measure.toString() });
    for (const QString &source : sources)
        cmd.append(u" "_s + Opt::Input + u" "_s + QuotedPath(source), { Opt::Input.toString(), source });
    return cmd;
}

AlbumLoudness::Verdict AlbumLoudness::judge(const QString &text)
{
    Verdict verdict;
    const QStringList lines = text.split(QRegularExpression(u"[\r\n]"_s), Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        if (ReportsFailure(line)) {
            verdict.reason = FailureReason(line);
            return verdict;
        }
    }
    if (!ReportsSuccess(text)) {
        verdict.reason = u"the transcoder ended without measuring the album"_s;
        return verdict;
    }
    verdict.measured = true;
    static const QRegularExpression album(u"^"_s + kAlbumLabel
            + u": integrated (-?[0-9]+\\.[0-9]+) LUFS.*true peak (-?[0-9]+\\.[0-9]+|"_s + kNoValue + u")"_s,
        QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = album.match(text);
    if (match.hasMatch()) {
        Values values;
        values.gainDb = kReplayGainReference - match.captured(1).toDouble();
        const QString peak = match.captured(2);
        values.peak = peak == kNoValue ? 0.0 : std::pow(10.0, peak.toDouble() / 20.0);
        verdict.values = values;
    }
    return verdict;
}

void AlbumLoudness::apply(LoudnessRequest &request, const std::optional<Values> &values)
{
    if (!values)
        return;
    request.albumGainDb = values->gainDb;
    request.albumPeak = values->peak;
}

bool AlbumLoudness::start(const QStringList &sources)
{
    m_text.clear();
    m_verdict = {};
    m_child = std::make_unique<ChildProcess>();
    if (!m_child->start(command(sources))) {
        m_verdict.reason = m_child->errorText();
        m_child.reset();
        return false;
    }
    return true;
}

bool AlbumLoudness::poll()
{
    if (!m_child)
        return true;
    m_text += m_child->readPipeText();
    if (!m_child->isDrained())
        return false;
    m_child.reset();
    m_verdict = judge(m_text);
    return true;
}

void AlbumLoudness::stop()
{
    if (m_child)
        m_child->end();
    m_child.reset();
}
