#include "testwindow.h"

#include "mainwindow/outputcontrols.h"

#include <QDir>
#include <QLineEdit>

TForm1 &TestWindow::open(const QString &programFolder, LogWindow logWindow, const BeforeShow &beforeShow)
{
    close();
    dialogs = RecordingDialogs();
    desktop = RecordingDesktopServices();
    power = RecordingPowerControl();
    m_form = std::make_unique<TForm1>(
        MainWindowServices { dialogs, desktop, power }, StartupEnvironment::fromSystem(programFolder));
    if (logWindow == LogWindow::Own) {
        m_log = new TlogFrm(m_form.get());
        m_form->setLogWindow(m_log);
    }
    if (beforeShow)
        beforeShow(*m_form);
    m_form->show();
    return *m_form;
}

void TestWindow::close()
{
    m_form.reset();
    m_log = nullptr;
}

bool TestWindow::useOutputFolder(const QString &folder)
{
    if (!QDir().mkpath(folder))
        return false;
    m_form->controls().output.pathdir->setText(folder);
    return true;
}
