#include "mainwindow/chooserhost.h"

#include "mainwindow/outputcontrols.h"

#include <QComboBox>
#include <QLineEdit>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {
constexpr QStringView kLosslessText = u"Lossless";

// The narrow plain chooser shows the word from its start.
void showLossless(QComboBox *chooser)
{
    chooser->lineEdit()->setText(kLosslessText.toString());
    chooser->lineEdit()->setCursorPosition(0);
}
} // namespace

QStringList MainWindowChooserHost::profiles() const
{
    QStringList names;
    for (int i = 0; i < m_ui.profileBox->count(); ++i)
        names << m_ui.profileBox->itemText(i);
    return names;
}

void MainWindowChooserHost::setProfiles(const QStringList &names)
{
    const int position = m_ui.profileBox->currentIndex();
    m_ui.profileBox->clear();
    m_ui.profileBox->addItems(names);
    m_ui.profileBox->setCurrentIndex(qMin(position, int(names.size()) - 1));
}

int MainWindowChooserHost::profilePosition() const
{
    return m_ui.profileBox->currentIndex();
}

void MainWindowChooserHost::setProfilePosition(int position)
{
    m_ui.profileBox->setCurrentIndex(position);
}

int MainWindowChooserHost::qualityPosition() const
{
    return m_ui.AQualityBtn->currentIndex();
}

void MainWindowChooserHost::setQualityPosition(int position)
{
    m_ui.AQualityBtn->setCurrentIndex(position);
    if (m_ui.AQualityBtn->isEditable()) // the plain style goes on showing what it showed
        showLossless(m_ui.AQualityBtn);
}

QString MainWindowChooserHost::destinationFolder() const
{
    return m_ui.pathdir->text();
}

void MainWindowChooserHost::setDestinationFolder(const QString &folder)
{
    m_ui.pathdir->setText(folder);
}

void MainWindowChooserHost::setSettingsEnabled(bool enabled)
{
    m_ui.settingBtn->setEnabled(enabled);
}

void MainWindowChooserHost::setQualityEnabled(bool enabled)
{
    m_ui.AQualityBtn->setEnabled(enabled);
}

void MainWindowChooserHost::setQualityLossless(bool lossless)
{
    m_ui.setQualityChooserPlain(lossless);
    if (!lossless)
        return;
    m_ui.AQualityBtn->setInsertPolicy(QComboBox::NoInsert); // Return must not make "Lossless" an item
    showLossless(m_ui.AQualityBtn);
}
