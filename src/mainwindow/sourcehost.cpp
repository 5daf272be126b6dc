#include "mainwindow/sourcehost.h"

#include "mainwindow/outputcontrols.h"

#include <QComboBox>
#include <QLineEdit>
#include <QToolButton>

MainWindowSourceHost::MainWindowSourceHost(QWidget *form, const OutputControls &ui, std::function<void()> rowAdded)
    : m_form(form)
    , m_ui(ui)
    , m_rowAdded(std::move(rowAdded))
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
    m_ui.setQualityChooserPlain(lossless);
    m_ui.AQualityBtn->setEnabled(!lossless && !bitrateNot);
}
