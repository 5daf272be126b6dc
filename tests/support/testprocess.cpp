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

} // namespace TestProcess
