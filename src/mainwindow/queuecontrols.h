#pragma once

#include <QString>

class ConversionQueue;
struct MainWindowControls;

// Shows the conversion queue's progress on the main window's controls: the buttons that
// must wait for the batch, the progress bar and the Start button's picture.
void ConnectQueueToControls(ConversionQueue &queue, const MainWindowControls &ui, const QString &programFolder);
