#pragma once

#include <QString>

// Where the transcoder's texts go: the log window, or a recorder in tests.
class LogSink
{
public:
    virtual ~LogSink() = default;
    // A probe's text: appended, and the view goes back to the start of the log.
    virtual void appendProbeText(const QString &text) = 0;
    // A conversion's text: appended, and the caret goes to the end.
    virtual void appendQueueText(const QString &text) = 0;
};
