#pragma once

#include <QString>

class PictureButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class QToolButton;
class QWidget;

// The output card: profile and quality choosers with the settings button, the destination
// folder, the after-done action, Start with the progress bar and the log button, and the
// conversion timer.
struct OutputControls
{
    void build(QWidget *panel, const QString &programFolder);
    // The quality chooser's two looks: a drop-down list to choose from, or a plain text that
    // shows what the profile allows ("Lossless"). Its three items stay in both.
    void setQualityChooserPlain(bool plain) const;

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
    // "Simultaneous conversions": 1 up to the number of processors.
    QComboBox *simultaneousBox = nullptr;
    PictureButton *startButton = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QLabel *progressEdit = nullptr;
    // Stops a long add; shown only while one goes on.
    QToolButton *stopAddBtn = nullptr;
    QToolButton *logBtn = nullptr;

    QTimer *Timer1 = nullptr;
};
