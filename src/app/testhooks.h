#pragma once

#include <QString>

// Switches only tests turn on, through the environment variable TOLM_TEST_HOOKS (a comma-separated
// list): "report" prints what the window did to standard output, one line per event, so a test
// driving the real program can follow it; "start-minimized" shows the main window minimised.
struct TestHooks
{
    bool report = false;
    bool startMinimized = false;

    static TestHooks fromEnvironment();
    void print(const QString &line) const;
};
