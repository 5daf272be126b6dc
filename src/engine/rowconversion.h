#pragma once

#include "batch/queuerows.h"
#include "engine/transcodertext.h"

#include <QString>

#include <memory>

class ChildProcess;

// One row's transcoder as the engine follows it: its child, the text not yet judged, how far
// it is and what it has said.
class RowConversion
{
public:
    enum class Verdict { Running, Converted, Failed };

    RowConversion(QueueRows::RowId id, std::unique_ptr<ChildProcess> child, int totalSeconds, QString outputPath);
    ~RowConversion();

    QueueRows::RowId id() const { return m_id; }
    ChildProcess &child() const { return *m_child; }
    std::unique_ptr<ChildProcess> releaseChild();
    int totalSeconds() const { return m_totalSeconds; }
    int position() const { return m_position; }
    const QString &outputPath() const { return m_outputPath; }
    const QString &sourcePath() const { return m_sourcePath; }
    // Whether the row's own line went to the log when it started (one row at a time), so its
    // text follows as it arrives; otherwise the text is written whole at its end.
    void setLogHeading(const QString &sourcePath, bool headedInLog)
    {
        m_sourcePath = sourcePath;
        m_headedInLog = headedInLog;
    }
    bool headedInLog() const { return m_headedInLog; }
    // Everything the transcoder wrote so far (kept for a log written in one piece).
    const QString &text() const { return m_text; }

    // What the latest read brought: its text, the newest position, whether the summary came.
    struct Reading
    {
        QString text;
        std::optional<int> position;
        bool summary = false;
        Verdict verdict = Verdict::Running;
        QString reason; // why it failed
    };
    // Reads the child's new text and judges the whole lines it completed: an error word fails
    // the row at once; the summary alone is not enough: the child must also end by itself with status 0,
    // so a transcoder that said "global" and then failed to rename its output still fails.
    Reading read();

private:
    void judge(const QString &text, Reading &reading);

    QueueRows::RowId m_id;
    std::unique_ptr<ChildProcess> m_child;
    int m_totalSeconds;
    QString m_outputPath;
    QString m_sourcePath;
    bool m_headedInLog = false;
    TranscoderLines m_lines;
    QString m_text;
    int m_position = 0;
    bool m_sawSummary = false;
};
