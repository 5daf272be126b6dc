#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QString>

// One long-lived transcoder that probes a file per request (sonmill qzv -probeworker): the
// requests go down its input, the answers come back in the same order, each the text a probe
// run on its own would have written. Never waits: it is driven by QProcess's signals, so the
// window's thread only ever reads what has arrived.
class ProbeWorker : public QObject
{
    Q_OBJECT

public:
    // scratchPath: the file the worker's probes write (removed by the worker at its end, and
    // here should it be ended by force).
    explicit ProbeWorker(QString scratchPath, QObject *parent = nullptr);
    ~ProbeWorker() override;

    // Starts the transcoder and returns at once; false with errorText() set when it cannot
    // be found or started. A start that fails later is told by ended().
    bool start();
    QString errorText() const { return m_errorText; }
    bool hasStarted() const { return m_started; }
    bool isRunning() const { return m_process->state() != QProcess::NotRunning; }
    qint64 processId() const { return m_process->processId(); }

    void request(const QString &sourcePath);
    int unanswered() const { return m_unanswered; }
    // How long the oldest unanswered request has been the worker's current one.
    qint64 currentRequestMs() const { return m_unanswered > 0 ? m_current.elapsed() : 0; }
    // The worker said it ends after its last answer: the requests after it were never begun.
    bool endsAfterAnswer() const { return m_endsAfterAnswer; }
    // The text of the current request that has arrived so far.
    QString partialAnswer() const { return QString::fromUtf8(m_buffer); }

    // No more requests: the worker ends by itself once it has answered the ones it has.
    void finish();
    // Ends the worker now: asked first, forced a second later. Its unanswered requests stay
    // unanswered.
    void stop();

Q_SIGNALS:
    // The answer to the oldest unanswered request.
    void answered(const QString &text);
    // The worker has ended (or never started); the requests it had not answered never will be.
    void ended();

private:
    void readAnswers();
    void onEnded();

    QProcess *m_process; // ours until it outlives us (see the destructor)
    QString m_scratchPath;
    QString m_errorText;
    QByteArray m_buffer; // what has arrived of the current answer
    QElapsedTimer m_current;
    int m_unanswered = 0;
    bool m_started = false;
    bool m_ended = false;
    bool m_endsAfterAnswer = false;
};
