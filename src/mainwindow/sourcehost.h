#pragma once

#include "sources/sourceadder.h"

#include <functional>

class QWidget;
struct OutputControls;

// The output card as adding a source reads and changes it; what a new row enables elsewhere
// in the window is the window's own step, handed in.
class MainWindowSourceHost : public SourceAdderHost
{
public:
    MainWindowSourceHost(QWidget *form, const OutputControls &ui, std::function<void()> rowAdded);

    QWidget *ownerWindow() const override { return m_form; }
    QString profileName() const override;
    int profilePosition() const override;
    int qualityIndex() const override;
    QString destinationFolder() const override;
    void setDestinationFolder(const QString &folder) override;
    void applyProfileSwitches(bool lossless, bool bitrateNot) override;
    void rowAdded() override { m_rowAdded(); }

private:
    QWidget *m_form;
    const OutputControls &m_ui;
    std::function<void()> m_rowAdded;
};
