#pragma once

#include <QString>

// Where the transcoder's console text goes. The probe and the conversion queue write here;
// the log window is the real sink.
class LogSink
{
public:
    // What the view shows after an append.
    enum class View {
        Beginning, // the probe's output: the view goes back to the start of the log
        Newest, // conversion output: the caret moves to the end, so the newest text shows
    };

    virtual ~LogSink() = default;
    // Adds text at the very end of the log, with no separator.
    virtual void append(const QString &text, View view) = 0;
};
