#include "engine/rowconversion.h"

#include "platform/childprocess.h"

using namespace Qt::StringLiterals;

RowConversion::RowConversion(
    QueueRows::RowId id, std::unique_ptr<ChildProcess> child, int totalSeconds, QString outputPath)
    : m_id(id)
    , m_child(std::move(child))
    , m_totalSeconds(totalSeconds)
    , m_outputPath(std::move(outputPath))
{ }

RowConversion::~RowConversion() = default;

std::unique_ptr<ChildProcess> RowConversion::releaseChild()
{
    return std::move(m_child);
}

RowConversion::Reading RowConversion::read()
{
    Reading reading;
    // Whether it has ended is asked before reading, so nothing it wrote last is missed.
    const bool ended = !m_child->isRunning();
    reading.text = m_child->readPipeText();
    m_text += reading.text;
    // The lines this read completed are judged together, as one text: the first progress
    // report among them counts, and an error word wins over the summary.
    judge(m_lines.take(reading.text).join(u'\n'), reading);
    if (reading.verdict == Verdict::Failed)
        return reading;
    if (!ended || !m_child->isDrained())
        return reading;
    judge(m_lines.rest(), reading);
    if (reading.verdict == Verdict::Failed)
        return reading;
    if (m_sawSummary && m_child->exitedCleanly()) {
        reading.verdict = Verdict::Converted;
    } else {
        reading.verdict = Verdict::Failed;
        reading.reason = m_sawSummary ? u"The transcoder reported an error when it ended."_s
                                      : u"The transcoder ended without finishing the conversion."_s;
    }
    return reading;
}

void RowConversion::judge(const QString &text, Reading &reading)
{
    if (text.isEmpty())
        return;
    if (const auto seconds = ProgressSeconds(text)) {
        m_position = *seconds;
        reading.position = *seconds;
    }
    if (ReportsSuccess(text)) {
        m_sawSummary = true;
        reading.summary = true;
    }
    // An error word wins over the summary, also when it comes after it.
    if (ReportsFailure(text))
        reading.verdict = Verdict::Failed;
}
