#pragma once

#include <QByteArrayView>
#include <QProcess>
#include <QString>

// Following programs the tests start.
namespace TestProcess {

// Waits until the process prints a line starting with prefix and returns that line
// (trimmed); empty when the process ends or the time runs out first. Lines before it are
// read and dropped.
QString waitForLine(QProcess &process, QByteArrayView prefix, int timeoutMs = 60000);

} // namespace TestProcess
