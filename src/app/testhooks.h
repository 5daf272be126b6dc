#pragma once

#include <QString>

#include <functional>

class ConversionEngine;
class QueueRows;
class SourceIntake;

// Switches only tests turn on, through the environment variable TOLM_TEST_HOOKS (a comma-separated
// list): "report" prints what the window did to standard output, one line per event, so a test
// driving the real program can follow it; "start-minimized" shows the main window minimised;
// "start" presses Start once the files the program was started with are in the list.
struct TestHooks
{
    bool report = false;
    bool startMinimized = false;
    bool startBatch = false;

    static TestHooks fromEnvironment();
    void print(const QString &line) const;
    // Reports the queue's events: "queue-started", "row-started <row> <transcoder pid>",
    // "row-ended <row> <status>", "queue-finished abandoned=<0|1>".
    void follow(const ConversionEngine &queue, const QueueRows &rows) const;
    // Runs then() once the files being added are all in the list or refused (at once when
    // nothing is being added).
    static void afterAdding(SourceIntake &intake, const std::function<void()> &then);
};
