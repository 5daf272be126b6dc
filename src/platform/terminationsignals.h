#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a signal on the UI thread, so the program ends through
// its normal shutdown (children ended, files written) instead of dying where it stands. The
// handler only writes the signal's number to a pipe; the event loop reads it.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    // One watcher per process; the handlers stay installed until it is destroyed.
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

Q_SIGNALS:
    void received(int signalNumber);

private:
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
};
