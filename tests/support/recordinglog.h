#pragma once

#include "core/logsink.h"

#include <QList>
#include <QString>

// A log that keeps what was appended, and how the view was asked to move.
class RecordingLog : public LogSink
{
public:
    struct Entry
    {
        QString text;
        View view;
    };
    QList<Entry> entries;

    void append(const QString &text, View view) override { entries.append({ text, view }); }
    // Everything appended, as the log window would hold it.
    QString text() const
    {
        QString all;
        for (const Entry &entry : entries)
            all += entry.text;
        return all;
    }
};
