#pragma once

#include "profiles/settingsform.h"

#include <QDialog>

class Dialogs;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class TsaveasFrm;

// The settings dialog's controls. Their object names are the form's (profileComBox,
// AencoderCombox, BitBtn3, ...).
struct SettingsControls
{
    QLabel *profileLabel = nullptr;
    QComboBox *profileChooser = nullptr;
    QPushButton *saveAsButton = nullptr;
    QGroupBox *audioGroup = nullptr;
    QLabel *encoderLabel = nullptr;
    QComboBox *encoderChooser = nullptr;
    QLabel *sampleRateLabel = nullptr;
    QComboBox *sampleRateChooser = nullptr;
    QLabel *channelLabel = nullptr;
    QComboBox *channelChooser = nullptr;
    QLabel *bitRateLabel = nullptr;
    QComboBox *bitRateChooser = nullptr;
    QPushButton *defaultButton = nullptr;
    QPushButton *okButton = nullptr;
    QPushButton *cancelButton = nullptr;
};

// The advanced profile settings dialog. Created on first use and kept, so its choosers keep
// their lists, selections and enabled states between openings. What its handlers decide is
// done on SettingsChoices; the dialog shows the result.
class TSettingFrm : public QDialog
{
    Q_OBJECT

public:
    // The main window is the parent: questions are placed at it.
    TSettingFrm(Dialogs &dialogs, TsaveasFrm &saveAs, QWidget *mainWindow);

    static constexpr QSize kClientSize { 485, 225 };

    void setPaths(const SettingsPaths &paths) { m_paths = paths; }
    const SettingsPaths &paths() const { return m_paths; }
    SettingsChoices choices() const;
    void showChoices(const SettingsChoices &choices);
    // Fills the dialog for a job before it is shown; returns the message to show instead of
    // the dialog, or an empty text. Choosers read before a failure keep what they read.
    QString prepareFor(const QStringList &mainProfiles, const TStartRecord &job);

    const SettingsControls &controls() const { return m_ui; }

public Q_SLOTS:
    void profileComBoxSelect(int position);
    void defaultBtnClick();
    void saveasBtnClick();

private:
    QList<QComboBox *> libraryChoosers() const; // in the library file's record order
    void showMessage(const QString &text);

    SettingsControls m_ui;
    Dialogs &m_dialogs;
    TsaveasFrm &m_saveAs;
    SettingsPaths m_paths;
    bool m_profilesChanged = false;
};
