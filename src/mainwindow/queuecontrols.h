#pragma once

#include <QString>

class ConversionEngine;
struct OutputControls;

// Shows the conversion queue's progress on the output card: the Start button's state and
// picture, the progress bar and its caption, the log button.
void ConnectQueueToControls(ConversionEngine &queue, const OutputControls &ui, const QString &programFolder);
