#pragma once

// Waits for the window's asynchronous roads (header only: include it from tests that link the
// main window). Adding files and converting both go on in the event loop, so a test lets the
// loop run until the road has ended.

#include "engine/conversionengine.h"
#include "mainwindow/mainwindow.h"
#include "sources/sourceintake.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace WindowWaits {

// Until every file being added is in the list or refused.
inline bool adds(const TForm1 &form, int timeoutMs = 120000)
{
    return QTest::qWaitFor([&form] { return !form.sourceIntake().isBusy(); }, timeoutMs);
}

// Presses Start as a click does and waits for the batch's end, and for what the window does
// right after it (the after-done action).
inline bool convert(TForm1 &form, int timeoutMs = 240000)
{
    QSignalSpy finished(&form.queue(), &ConversionEngine::queueFinished);
    form.startButtonClick();
    if (finished.isEmpty() && !finished.wait(timeoutMs))
        return false;
    QCoreApplication::processEvents();
    return true;
}

// Runs act() once a modal dialog is up: the test goes on inside the dialog's exec().
inline void whenModal(const std::function<void()> &act)
{
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [act, poll] {
        if (QApplication::activeModalWidget()) {
            act();
            return;
        }
        QTimer::singleShot(10, *poll);
    };
    QTimer::singleShot(0, *poll);
}

} // namespace WindowWaits
