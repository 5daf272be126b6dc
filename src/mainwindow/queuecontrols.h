#pragma once

#include <QString>
#include <QStringList>

class ConversionEngine;
struct OutputControls;

// Shows the conversion queue's progress on the output card: the Start button's state and
// picture, the progress bar and its caption, the log button.
void ConnectQueueToControls(ConversionEngine &queue, const OutputControls &ui, const QString &programFolder);

// What the caption says after a batch in which rows failed: how many, and the first reason.
QString BatchFailureSummary(const QStringList &reasons);
