#pragma once

#include "engine/logwindow.h"
#include "mainwindow/mainwindow.h"
#include "platform/recordingdesktopservices.h"
#include "platform/recordingdialogs.h"
#include "platform/recordingpowercontrol.h"

#include <functional>
#include <memory>

// The main window as the window tests build it: dialogs, the desktop's "open" and power
// answered by recording services, the start-up environment of a program folder.
class TestWindow
{
public:
    enum class LogWindow { None, Own };
    // Runs on the new window before it is shown (desktop guards, for one).
    using BeforeShow = std::function<void(TForm1 &)>;

    RecordingDialogs dialogs;
    RecordingDesktopServices desktop;
    RecordingPowerControl power;

    // Closes the earlier window, starts the recordings afresh, then builds and shows a new
    // window for the program folder, with a log window of its own when asked.
    TForm1 &open(
        const QString &programFolder, LogWindow logWindow = LogWindow::None, const BeforeShow &beforeShow = {});
    void close();

    // Makes the folder and has the window convert into it; false when it cannot be made.
    bool useOutputFolder(const QString &folder);

    TForm1 *form() const { return m_form.get(); }
    TForm1 *operator->() const { return m_form.get(); }
    TlogFrm *log() const { return m_log; }
    template <typename T = QWidget> T *control(const QString &objectName) const
    {
        return m_form->findChild<T *>(objectName);
    }

private:
    std::unique_ptr<TForm1> m_form;
    TlogFrm *m_log = nullptr; // owned by the window
};
