#pragma once

#include <QString>

class BackgroundPanel;
class PictureButton;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSlider;
class QTimer;
class QToolButton;
class QTreeWidget;
class QWidget;

// Every control of the main window in its initial state, under the names the rest of the
// program knows them by. Built once by build(); the main window wires them.
struct MainWindowControls
{
    void build(QWidget *form, const QString &programFolder);

    BackgroundPanel *suiImagePanel1 = nullptr;

    // Title strip
    QLabel *appIcon = nullptr;
    QLabel *appLabel = nullptr;
    QToolButton *minBtn = nullptr;
    QToolButton *closeBtn = nullptr;

    // Tool row; the caption labels are put onto their buttons by the main window at start-up.
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

    // Source list
    QWidget *listPanel = nullptr;
    QTreeWidget *listview = nullptr;
    QLineEdit *listEdit = nullptr;
    QPushButton *mUpBtn = nullptr;
    QPushButton *mDownBtn = nullptr;
    QPushButton *delBtn = nullptr;
    QPushButton *clearBtn = nullptr;

    // Preview
    QLabel *videoNamelabel = nullptr;
    QFrame *playpanel = nullptr;
    QLabel *pretimeLabel = nullptr;
    QSlider *TrackBar1 = nullptr;
    QLabel *moveEdit = nullptr;
    QToolButton *previewBtn = nullptr;
    QToolButton *pauseBtn = nullptr;
    QToolButton *stopBtn = nullptr;

    // Output
    QLabel *profileLabel = nullptr;
    QComboBox *profileBox = nullptr;
    QLabel *qualityLabel = nullptr;
    QComboBox *AQualityBtn = nullptr;
    QToolButton *settingBtn = nullptr;
    QLabel *destinationLabel = nullptr;
    QLineEdit *pathdir = nullptr;
    QPushButton *browseBtn = nullptr;
    QPushButton *OpenBtn = nullptr;
    QLabel *afterDoneLabel = nullptr;
    QComboBox *afterDoneBox = nullptr;
    PictureButton *startButton = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QLabel *progressEdit = nullptr;
    QToolButton *logBtn = nullptr;

    QTimer *Timer1 = nullptr;
};
