#pragma once

#include <QString>

class QFrame;
class QLabel;
class QSlider;
class QToolButton;
class QWidget;

// The preview card: the name of the file shown, the panel the player's window goes into,
// its position bar and time, and Play, Pause and Stop.
struct PreviewControls
{
    void build(QWidget *panel, const QString &programFolder);

    QLabel *videoNamelabel = nullptr;
    QFrame *playpanel = nullptr;
    QLabel *pretimeLabel = nullptr;
    QSlider *TrackBar1 = nullptr;
    QLabel *moveEdit = nullptr;
    QToolButton *previewBtn = nullptr;
    QToolButton *pauseBtn = nullptr;
    QToolButton *stopBtn = nullptr;
};
