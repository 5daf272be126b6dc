#pragma once

#include "core/commandline.h"

#include <QObject>
#include <QStringDecoder>

class QProcess;

// One sibling program run as a hidden child: no window, no shell, started from the
// command's argument list, standard output and standard error merged into one channel
// that is read without blocking. The executable is looked up in the program folder first,
// then on PATH.
//
// Nothing here waits for the child: starting returns before it runs, ending asks it to go
// and forces it after a grace time from a timer, and finished() says when it has gone. All
// of it runs on the UI thread.
class ChildProcess : public QObject
{
    Q_OBJECT

public:
    // How long a child asked to end may take before it is forced.
    static constexpr int kEndGraceMs = 1000;

    explicit ChildProcess(QObject *parent = nullptr);
    // A child still running is asked to end and left to go on its own time: it is not
    // waited for, and still forced after its grace and still tracked until it has gone.
    ~ChildProcess() override;

    // Folder searched first for the sibling programs (the folder of the running executable
    // unless set otherwise, e.g. by tests).
    static void setProgramFolder(const QString &folder);
    static QString programFolder();
    static QString resolveProgram(const QString &name);

    // Starts the command and returns at once, before the program runs. False with
    // errorText() set when the program cannot be found. One found that the system then
    // cannot run ends at once: finished() with failedToStart() and errorText() set. A child
    // of an earlier start still running is ended first (and not waited for).
    bool start(const CommandLine &command);
    QString errorText() const { return m_errorText; }
    bool failedToStart() const { return m_failedToStart; }

    // The text that has arrived since the last call, decoded as UTF-8 with the decoder's
    // state kept across calls, so a character split between two reads comes out whole.
    // Never waits; returns an empty text when nothing new has arrived.
    QString readPipeText();

    // True from start() until finished(), also while it is being ended.
    bool isRunning() const;
    qint64 processId() const;
    // The child has ended and everything it wrote has been read.
    bool isDrained() const;
    // The child ended by itself with exit status 0 (false while it runs, and after a crash or
    // a signal).
    bool exitedCleanly() const;

    // Ends this child (and only this child) and returns at once: asked first, forced after
    // graceMs (at once if negative or 0). finished() follows once it has really gone.
    void end(int graceMs = kEndGraceMs);
    // Asked to end and not gone yet.
    bool isEnding() const;

    // Ends every running child of ours started from the program of that bare name. Never
    // touches processes this program did not start, whatever their name. Returns how many
    // were asked to end; they go on their own time.
    static int KillProcessByName(const QString &programName);

    // The children of ours that have not gone yet, including those whose owner let them go.
    static int runningCount();
    // For the program's last moment, when no window is left to keep responsive: ends every
    // child still running and lets the event loop run until all have gone (each is forced
    // after its grace), so none is left behind and a transcoder can remove its temporary file.
    static void settleBeforeExit();

Q_SIGNALS:
    // The child has gone (by itself, asked or forced), or it could not be run.
    void finished();

private:
    void release();

    QProcess *m_process = nullptr;
    QStringDecoder m_decoder { QStringDecoder::Utf8 };
    QString m_errorText;
    QString m_programName;
    bool m_failedToStart = false;
};
