#include "mainwindow/queuecontrols.h"

#include "engine/conversionqueue.h"
#include "mainwindow/outputcontrols.h"
#include "mainwindow/picturebutton.h"
#include "mainwindow/skin.h"

#include <QLabel>
#include <QProgressBar>
#include <QToolButton>

void ConnectQueueToControls(ConversionQueue &queue, const OutputControls &ui, const QString &programFolder)
{
    QObject::connect(&queue, &ConversionQueue::queueStarted, ui.ProgressBar1, [ui] {
        ui.ProgressBar1->setTextVisible(true);
        ui.progressEdit->hide();
    });
    QObject::connect(&queue, &ConversionQueue::rowStarted, ui.ProgressBar1, [ui, programFolder](int, int total) {
        ui.startButton->loadDisabledPicture(Skin::picturePath(programFolder, Skin::kStartBusyPicture));
        ui.startButton->setEnabled(false);
        ui.ProgressBar1->show();
        // Without a known length the bar shows that work goes on, but no percentage.
        ui.ProgressBar1->setRange(0, total);
        ui.ProgressBar1->setValue(0);
        ui.logBtn->setVisible(true);
    });
    QObject::connect(&queue, &ConversionQueue::progressChanged, ui.ProgressBar1, [ui](int position) {
        if (ui.ProgressBar1->maximum() > 0)
            ui.ProgressBar1->setValue(qBound(0, position, ui.ProgressBar1->maximum()));
    });
    QObject::connect(&queue, &ConversionQueue::rowEnded, ui.ProgressBar1, [ui] {
        ui.startButton->setEnabled(true);
        if (ui.ProgressBar1->maximum() == 0)
            ui.ProgressBar1->setRange(0, 100); // stop the busy animation
        ui.ProgressBar1->setValue(0);
    });
    QObject::connect(&queue, &ConversionQueue::queueFinished, ui.ProgressBar1, [ui, programFolder] {
        ui.startButton->loadDisabledPicture(Skin::picturePath(programFolder, Skin::kStartIdlePicture));
        ui.progressEdit->show();
        ui.ProgressBar1->setTextVisible(false);
    });
}
