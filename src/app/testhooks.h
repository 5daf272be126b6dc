#pragma once

#include "platform/dialogs.h"

#include <QString>

#include <functional>

class ConversionEngine;
class QueueRows;
class SourceIntake;

// Switches only tests turn on, through the environment variable TOLM_TEST_HOOKS (a comma-separated
// list): "report" prints what the window did to standard output, one line per event, so a test
// driving the real program can follow it; "start-minimized" shows the main window minimised;
// "start" presses Start once the files the program was started with are in the list;
// "after-done=<index>" chooses that item of "After  Done :" first. With "report", each message
// box is announced ("message <text>") before it is shown.
struct TestHooks
{
    bool report = false;
    bool startMinimized = false;
    bool startBatch = false;
    int afterDone = -1; // -1: the chooser's own start-up choice

    static TestHooks fromEnvironment();
    void print(const QString &line) const;
    // Reports the queue's events: "queue-started", "row-started <row> <transcoder pid>",
    // "row-ended <row> <status>", "queue-finished abandoned=<0|1>".
    void follow(const ConversionEngine &queue, const QueueRows &rows) const;
    // Runs then() once the files being added are all in the list or refused (at once when
    // nothing is being added).
    static void afterAdding(SourceIntake &intake, const std::function<void()> &then);
};

// The program's dialogs, each message announced through the hooks first, so a test driving
// the real program knows which box is up before it answers it.
class ReportingDialogs final : public Dialogs
{
public:
    ReportingDialogs(Dialogs &dialogs, const TestHooks &hooks)
        : m_dialogs(dialogs)
        , m_hooks(hooks)
    { }
    DialogAnswer showMessage(QWidget *owner, const MessageRequest &request) override;
    QStringList openFiles(QWidget *owner, const FileOpenRequest &request) override
    {
        return m_dialogs.openFiles(owner, request);
    }
    QString chooseFolder(QWidget *owner, const QString &title, const QString &startFolder) override
    {
        return m_dialogs.chooseFolder(owner, title, startFolder);
    }

private:
    Dialogs &m_dialogs;
    const TestHooks &m_hooks;
};
