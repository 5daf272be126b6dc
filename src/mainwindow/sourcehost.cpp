#include "mainwindow/sourcehost.h"

#include "mainwindow/mainwindowcontrols.h"
#include "mainwindow/picturebutton.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

MainWindowSourceHost::MainWindowSourceHost(QWidget *form, const MainWindowControls &ui, const QTimer &timer1)
    : m_form(form)
    , m_ui(ui)
    , m_timer1(timer1)
{ }

QString MainWindowSourceHost::profileName() const
{
    return m_ui.profileBox->currentText();
}

int MainWindowSourceHost::profilePosition() const
{
    return m_ui.profileBox->currentIndex();
}

int MainWindowSourceHost::qualityIndex() const
{
    return m_ui.AQualityBtn->currentIndex();
}

QString MainWindowSourceHost::destinationFolder() const
{
    return m_ui.pathdir->text();
}

void MainWindowSourceHost::setDestinationFolder(const QString &folder)
{
    m_ui.pathdir->setText(folder);
}

void MainWindowSourceHost::applyProfileSwitches(bool lossless, bool bitrateNot)
{
    m_ui.settingBtn->setEnabled(!lossless);
    SetQualityChooserPlain(m_ui, lossless);
    m_ui.AQualityBtn->setEnabled(!lossless && !bitrateNot);
}

void MainWindowSourceHost::rowAdded()
{
    if (m_ui.trimBtn->isEnabled())
        return;
    m_ui.listview->viewport()->update();
    m_ui.trimBtn->setEnabled(true);
    m_ui.effectBtn->setEnabled(true);
    if (!m_timer1.isActive())
        m_ui.startButton->setEnabled(true);
    m_ui.previewBtn->setEnabled(true);
}

void SetQualityChooserPlain(const MainWindowControls &ui, bool plain)
{
    if (ui.AQualityBtn->isEditable() == plain)
        return;
    const QString shown = ui.AQualityBtn->currentText();
    ui.AQualityBtn->setEditable(plain);
    if (plain) {
        ui.AQualityBtn->lineEdit()->setReadOnly(true);
        ui.AQualityBtn->lineEdit()->setText(shown);
    }
}
