#pragma once

#include "core/commandline.h"

#include <QObject>
#include <QProcess>
#include <QStringDecoder>

// One sibling program run as a hidden child: no window, no shell, started from the
// command's argument list, standard output and standard error merged into one channel
// that is read without blocking. The executable is looked up in the program folder first,
// then on PATH.
class ChildProcess : public QObject
{
    Q_OBJECT

public:
    explicit ChildProcess(QObject *parent = nullptr);
    ~ChildProcess() override;

    // Folder searched first for the sibling programs (the folder of the running executable
    // unless set otherwise, e.g. by tests).
    static void setProgramFolder(const QString &folder);
    static QString programFolder();
    static QString resolveProgram(const QString &name);

    // Starts the command and returns at once. False with errorText() set when the program
    // cannot be found or started.
    bool start(const CommandLine &command);
    QString errorText() const { return m_errorText; }

    // The text that has arrived since the last call, decoded as UTF-8 with the decoder's
    // state kept across calls, so a character split between two reads comes out whole.
    // Never waits; returns an empty text when nothing new has arrived.
    QString readPipeText();

    // Waits up to timeoutMs for the child to end, keeping its output. False on time-out;
    // a negative time waits not at all.
    bool waitForFinished(int timeoutMs);

    bool isRunning() const;
    qint64 processId() const;
    // The child has ended and everything it wrote has been read.
    bool isDrained() const;
    // The child ended by itself with exit status 0 (false while it runs, and after a crash or
    // a signal).
    bool exitedCleanly() const;

    // Ends this child (and only this child): asked first, forced after graceMs (at once if
    // negative).
    void end(int graceMs = 1000);

    // Ends every running child of ours started from the program of that bare name. Never
    // touches processes this program did not start, whatever their name. Returns how many
    // were ended.
    static int KillProcessByName(const QString &programName);

Q_SIGNALS:
    void finished();

private:
    QProcess m_process;
    QStringDecoder m_decoder { QStringDecoder::Utf8 };
    QString m_errorText;
    QString m_programName;
};
