#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// One run of a sibling to its end, as the sync's steps need it: they go one after another, but
// the run's signals (an interrupt) and timers go on meanwhile in an event loop of its own.
struct ChildRun
{
    bool started = false;
    bool inTime = false; // ended of itself before the time limit
    int exitCode = -1; // -1 when it did not end normally
    QByteArray output; // standard output and error, merged
};

// A run that outlives timeoutMs is ended by force (and still counted as not in time).
ChildRun RunToEnd(const QString &program, const QStringList &arguments, int timeoutMs);
