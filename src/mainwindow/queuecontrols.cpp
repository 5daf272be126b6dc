#include "mainwindow/queuecontrols.h"

#include "engine/conversionengine.h"
#include "mainwindow/outputcontrols.h"
#include "mainwindow/picturebutton.h"
#include "widgets/skin.h"

#include <QLabel>
#include <QProgressBar>
#include <QToolButton>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// With several rows at once the bar shows the whole batch: its seconds done out of all.
void showBatchProgress(const ConversionEngine &engine, QProgressBar *bar)
{
    const int total = engine.batchTotalSeconds();
    bar->setRange(0, total);
    bar->setValue(qBound(0, engine.batchDoneSeconds(), total));
}

} // namespace

QString BatchFailureSummary(const QStringList &reasons)
{
    return u"%1 failed: %2"_s.arg(reasons.size()).arg(reasons.constFirst());
}

void ConnectQueueToControls(ConversionEngine &queue, const OutputControls &ui, const QString &programFolder)
{
    // Why the rows of this batch failed, each once, for its end.
    auto failures = std::make_shared<QStringList>();
    auto shownBefore = std::make_shared<QString>(); // the caption a failure summary stands in for
    QObject::connect(&queue, &ConversionEngine::queueStarted, ui.ProgressBar1, [ui, failures, shownBefore] {
        failures->clear();
        if (!shownBefore->isNull())
            ui.progressEdit->setText(std::exchange(*shownBefore, QString()));
        ui.progressEdit->setToolTip({});
        ui.ProgressBar1->setTextVisible(true);
        ui.progressEdit->hide();
    });
    QObject::connect(&queue, &ConversionEngine::rowFailed, ui.ProgressBar1,
        [failures](int, const QString &reason) { failures->append(reason.trimmed()); });
    QObject::connect(
        &queue, &ConversionEngine::rowStarted, ui.ProgressBar1, [ui, programFolder, &queue](int, int total) {
            ui.startButton->loadDisabledPicture(Skin::picturePath(programFolder, Skin::kStartBusyPicture));
            ui.startButton->setEnabled(false);
            ui.ProgressBar1->show();
            if (queue.simultaneous() > 1) {
                showBatchProgress(queue, ui.ProgressBar1);
            } else {
                // Without a known length the bar shows that work goes on, but no percentage.
                ui.ProgressBar1->setRange(0, total);
                ui.ProgressBar1->setValue(0);
            }
            ui.logBtn->setVisible(true);
        });
    QObject::connect(&queue, &ConversionEngine::progressChanged, ui.ProgressBar1, [ui](int position) {
        if (ui.ProgressBar1->maximum() > 0)
            ui.ProgressBar1->setValue(qBound(0, position, ui.ProgressBar1->maximum()));
    });
    QObject::connect(&queue, &ConversionEngine::rowProgress, ui.ProgressBar1, [ui, &queue] {
        if (queue.simultaneous() > 1)
            showBatchProgress(queue, ui.ProgressBar1);
    });
    QObject::connect(&queue, &ConversionEngine::rowEnded, ui.ProgressBar1, [ui, &queue] {
        if (queue.runningCount() > 0) {
            showBatchProgress(queue, ui.ProgressBar1);
            return; // Start stays disabled while any row converts
        }
        ui.startButton->setEnabled(true);
        if (ui.ProgressBar1->maximum() == 0)
            ui.ProgressBar1->setRange(0, 100); // stop the busy animation
        ui.ProgressBar1->setValue(0);
    });
    QObject::connect(
        &queue, &ConversionEngine::queueFinished, ui.ProgressBar1, [ui, programFolder, failures, shownBefore] {
            // The batch's end says how many failed and why; the log keeps each row's whole text.
            if (!failures->isEmpty()) {
                if (shownBefore->isNull())
                    *shownBefore = ui.progressEdit->text();
                ui.progressEdit->setText(BatchFailureSummary(*failures));
                QStringList reasons = *failures;
                reasons.removeDuplicates();
                ui.progressEdit->setToolTip(reasons.join(u'\n'));
            }
            ui.startButton->loadDisabledPicture(Skin::picturePath(programFolder, Skin::kStartIdlePicture));
            ui.progressEdit->show();
            ui.ProgressBar1->setTextVisible(false);
        });
}
