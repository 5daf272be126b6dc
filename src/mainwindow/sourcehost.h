#pragma once

#include "sources/sourceadder.h"

class QTimer;
class QWidget;
struct MainWindowControls;

// The main window's controls as adding a source reads and changes them.
class MainWindowSourceHost : public SourceAdderHost
{
public:
    MainWindowSourceHost(QWidget *form, const MainWindowControls &ui, const QTimer &timer1);

    QWidget *ownerWindow() const override { return m_form; }
    QString profileName() const override;
    int profilePosition() const override;
    int qualityIndex() const override;
    QString destinationFolder() const override;
    void setDestinationFolder(const QString &folder) override;
    void applyProfileSwitches(bool lossless, bool bitrateNot) override;
    void rowAdded() override;

private:
    QWidget *m_form;
    const MainWindowControls &m_ui;
    const QTimer &m_timer1;
};

// The quality chooser's two looks: a drop-down list to choose from, or a plain text that
// shows what the profile allows.
void SetQualityChooserPlain(const MainWindowControls &ui, bool plain);
