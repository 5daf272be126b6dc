#pragma once

#include "sources/profileselection.h"

struct OutputControls;

// The output card's choosers as the profile selection reads and switches them. Positions set
// here go through setCurrentIndex, which the choosers' handlers (connected to `activated`)
// never see.
class MainWindowChooserHost : public OutputChoosers
{
public:
    explicit MainWindowChooserHost(const OutputControls &ui)
        : m_ui(ui)
    { }

    QStringList profiles() const override;
    void setProfiles(const QStringList &names) override;
    int profilePosition() const override;
    void setProfilePosition(int position) override;
    int qualityPosition() const override;
    void setQualityPosition(int position) override;
    QString destinationFolder() const override;
    void setDestinationFolder(const QString &folder) override;
    void setSettingsEnabled(bool enabled) override;
    void setQualityEnabled(bool enabled) override;
    void setQualityLossless(bool lossless) override;

private:
    const OutputControls &m_ui;
};
