#pragma once

#include <QObject>

class QSocketNotifier;

// Ctrl-C (SIGINT), SIGTERM and SIGHUP, brought onto the event loop through a pipe: the
// handler only records the signal and writes one byte.
class InterruptWatch : public QObject
{
    Q_OBJECT

public:
    explicit InterruptWatch(QObject *parent = nullptr);
    ~InterruptWatch() override;

    // The first signal caught, 0 for none. Set before the handler returns, so code that runs
    // afterwards on the main thread (reading a child's last words, for instance) sees it.
    static int caught();

Q_SIGNALS:
    void interrupted(int signal);

private:
    QSocketNotifier *m_notifier = nullptr;
};
