#pragma once

#include <QString>

// An existing file the user agreed to have replaced ("File exists,rewrite?" answered Yes),
// as it was when they agreed. Nothing is deleted then: the finished output is renamed over
// the file, and only while it is still that same, unchanged file at the job's output path,
// so a failed run, a changed name or a file written meanwhile loses nothing.
struct ReplaceMark
{
    QString path;
    qint64 size = -1;
    qint64 modifiedMs = 0;

    // Marks the regular file at path as it is now; an empty mark when there is none.
    static ReplaceMark of(const QString &path);
    // True when outputPath is the marked file and the file is unchanged since.
    bool allows(const QString &outputPath) const;
    bool isEmpty() const { return path.isEmpty(); }
};

// True when the two paths name the same existing file (links followed).
bool IsSameFile(const QString &a, const QString &b);
