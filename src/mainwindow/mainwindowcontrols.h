#pragma once

#include "mainwindow/outputcontrols.h"
#include "mainwindow/previewcontrols.h"
#include "mainwindow/sourcelistcontrols.h"
#include "mainwindow/toolrow.h"

#include <QString>

class BackgroundPanel;
class QLabel;
class QToolButton;
class QWidget;

// Every control of the main window in its initial state, under the names the rest of the
// program knows them by: the frame with its title strip, and one part per card, each
// building and holding its own controls. Built once by build(); the main window wires them.
struct MainWindowControls
{
    void build(QWidget *form, const QString &programFolder);

    BackgroundPanel *suiImagePanel1 = nullptr;

    // Title strip
    QLabel *appIcon = nullptr;
    QLabel *appLabel = nullptr;
    QToolButton *minBtn = nullptr;
    QToolButton *closeBtn = nullptr;

    ToolRow tools;
    SourceListControls list;
    PreviewControls preview;
    OutputControls output;
};
