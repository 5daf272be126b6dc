// The main window's profile and quality choosers and its advanced settings dialog.

#include "batch/outputchoices.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/outputchoicesview.h"
#include "platform/dialogs.h"
#include "platform/placement.h"
#include "profiles/saveasdialog.h"
#include "profiles/settingsdialog.h"
#include "sources/filelist.h"
#include "sources/profileselection.h"

#include <QToolButton>

void TForm1::connectProfileChoosers()
{
    m_profileSelection = std::make_unique<ProfileSelection>(*m_fileList, *m_choices,
        SourcePaths {
            m_state.cataloguePath, m_state.userProfilePath, m_state.initialDestination, m_state.defaultOutputFolder });
    // Only a user's pick runs them; program steps only change the choices.
    connect(m_choicesView.get(), &OutputChoicesView::profilePicked, this, &TForm1::profileBoxSelect);
    connect(m_choicesView.get(), &OutputChoicesView::qualityPicked, this, &TForm1::AQualityBtnSelect);
    connect(m_ui.output.settingBtn, &QToolButton::clicked, this, &TForm1::settingBtnClick);
}

TsaveasFrm *TForm1::saveAsDialog()
{
    if (!m_saveasFrm)
        m_saveasFrm = new TsaveasFrm(this);
    return m_saveasFrm;
}

void TForm1::profileBoxSelect()
{
    m_profileSelection->applyProfile(m_fileList->targetRows());
}

void TForm1::AQualityBtnSelect()
{
    m_profileSelection->applyQuality(m_fileList->targetRows());
}

void TForm1::settingBtnClick()
{
    if (!m_settingFrm)
        m_settingFrm = new TSettingFrm(m_services.dialogs, *saveAsDialog(), this);
    const QList<int> targets = m_fileList->targetRows();
    if (targets.isEmpty()) {
        m_services.dialogs.showMessage(this, MessageRequest::plain(SettingsText::NoTarget.toString()));
        return;
    }
    m_settingFrm->setPaths(
        { m_state.programFolder, m_state.cataloguePath, m_state.userProfilePath, m_state.profileFolder });
    const QString refusal = m_settingFrm->prepareFor(m_choices->profiles(), m_fileList->job(targets.first()));
    if (!refusal.isEmpty()) {
        m_services.dialogs.showMessage(this, MessageRequest::plain(refusal));
        return;
    }
    m_settingFrm->move(Placement::modalTopLeft(frameGeometry(), m_settingFrm->width()));
    if (m_settingFrm->exec() == QDialog::Accepted)
        m_profileSelection->applySettings(targets, m_settingFrm->choices());
    else
        m_profileSelection->keepSavedProfiles(m_settingFrm->choices());
}
