#pragma once

#include "profiles/settingsform.h"

#include <QDialog>

class Dialogs;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class TsaveasFrm;

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

    QLabel *profileLabel = nullptr;
    QComboBox *profileComBox = nullptr;
    QPushButton *saveasBtn = nullptr;
    QGroupBox *audioGroup = nullptr;
    QLabel *encoderLabel = nullptr;
    QComboBox *AencoderCombox = nullptr;
    QLabel *channelLabel = nullptr;
    QComboBox *AChannelCombox = nullptr;
    QLabel *sampleRateLabel = nullptr;
    QComboBox *AsampleRateCombox = nullptr;
    QLabel *bitRateLabel = nullptr;
    QComboBox *ABitRateCombox = nullptr;
    QPushButton *okBtn = nullptr;
    QPushButton *defaultBtn = nullptr;
    QPushButton *BitBtn3 = nullptr;

public Q_SLOTS:
    void profileComBoxSelect(int position);
    void defaultBtnClick();
    void saveasBtnClick();

private:
    QList<QComboBox *> libraryChoosers() const; // in the library file's record order
    void showMessage(const QString &text);

    Dialogs &m_dialogs;
    TsaveasFrm &m_saveAs;
    SettingsPaths m_paths;
    bool m_profilesChanged = false;
};
