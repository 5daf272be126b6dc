#pragma once

#include <QString>

class QFrame;
class QLabel;
class QToolButton;
class QWidget;

// The row of big buttons under the title: Add, Trim, Effect, About, Help, each with its
// caption below it until start-up puts the caption onto the button.
struct ToolRow
{
    void build(QWidget *panel, const QString &programFolder);
    // The captions move onto their buttons, where they stay.
    void putCaptionsOnButtons();
    // Trim and Effect work on rows: usable only while the list holds one.
    void setRowToolsEnabled(bool enabled);

    QToolButton *addButton = nullptr;
    QToolButton *trimBtn = nullptr;
    QToolButton *effectBtn = nullptr;
    QToolButton *aboutBtn = nullptr;
    QToolButton *helpBtn = nullptr;
    QLabel *addLabel = nullptr;
    QLabel *trimLabel = nullptr;
    QLabel *effectLabel = nullptr;
    QLabel *aboutLabel = nullptr;
    QLabel *helpLabel = nullptr;
    QFrame *toolSeparators[3] = {};
};
