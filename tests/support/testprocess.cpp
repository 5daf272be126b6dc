#include "testprocess.h"

#include <QElapsedTimer>

namespace TestProcess {

QString waitForLine(QProcess &process, QByteArrayView prefix, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        while (process.canReadLine()) {
            const QByteArray line = process.readLine().trimmed();
            if (line.startsWith(prefix))
                return QString::fromUtf8(line);
        }
        if (process.state() == QProcess::NotRunning && !process.canReadLine())
            return {};
        process.waitForReadyRead(100);
    }
    return {};
}

QProcessEnvironment programEnvironment(const QString &home, const QString &hooks)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/run"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("TOLM_TEST_HOOKS"), hooks);
    return env;
}

Ended waitForEnd(QProcess &process, int timeoutMs)
{
    Ended ended;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return ended;
    }
    ended.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    ended.out = QString::fromUtf8(process.readAllStandardOutput());
    ended.err = QString::fromUtf8(process.readAllStandardError());
    return ended;
}

QProcessEnvironment terminalEnvironment(const QString &home, const QString &cacheFolder)
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH", QStringLiteral("/usr/bin:/bin")));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), cacheFolder);
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    return env;
}

} // namespace TestProcess
