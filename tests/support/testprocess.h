#pragma once

#include <QByteArrayView>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

// Following programs the tests start.
namespace TestProcess {

// Waits until the process prints a line starting with prefix and returns that line
// (trimmed); empty when the process ends or the time runs out first. Lines before it are
// read and dropped.
QString waitForLine(QProcess &process, QByteArrayView prefix, int timeoutMs = 60000);

// The environment the window program is started in by a test: a home of the test's own
// (settings, cache, data and runtime folders all below it, so nothing of the real user's is
// read or written), on the X server, with the test hooks given (TOLM_TEST_HOOKS).
QProcessEnvironment programEnvironment(const QString &home, const QString &hooks);

// What a program printed and how it ended; exitCode -1 when it crashed or ran out of time
// (it is then ended).
struct Ended
{
    int exitCode = -1;
    QString out;
    QString err;
};
Ended waitForEnd(QProcess &process, int timeoutMs = 240000);

// A bare environment for tolm-convert started by a test: the path, a home of the test's own
// (settings below it), a cache folder and a UTF-8 locale, nothing else of the caller's.
QProcessEnvironment terminalEnvironment(const QString &home, const QString &cacheFolder);

// Process ids whose parent is pid (zombies included: not reaped yet).
QList<qint64> childrenOf(qint64 pid);
// The process is still there (a zombie counts).
bool alive(qint64 pid);

} // namespace TestProcess
