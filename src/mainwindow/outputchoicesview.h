#pragma once

#include "sources/destinationfolder.h"

#include <QObject>

class OutputChoices;
struct OutputControls;

// The output card's choosers and destination edit as views of the window's output choices: a
// change of the choices is shown, and whatever changes a control (the user or a program step)
// is written back. The one adapter between those controls and the rest of the program; the
// destination folder's rules see the edit through it.
class OutputChoicesView : public QObject, public FolderField
{
    Q_OBJECT

public:
    OutputChoicesView(OutputChoices &choices, const OutputControls &ui, QObject *parent = nullptr);

    // FolderField: the destination edit.
    QString text() const override;
    void setText(const QString &text) override;
    int caret() const override;
    void selectAll() override;
    void selectToEnd(int caret) override;

Q_SIGNALS:
    // The user picked an entry (the same one again included); the choices hold it already.
    void profilePicked();
    void qualityPicked();

private:
    void showProfiles();
    void showQualityPosition();
    void showSwitches();
    void showDestinationFolder(const QString &folder);
    void showLosslessWord() const;

    OutputChoices &m_choices;
    const OutputControls &m_ui;
    // Set while a change of the choices is being shown, so the controls' own signals of it are
    // not written back half-way (clearing a chooser passes through "no entry").
    bool m_showing = false;
};
