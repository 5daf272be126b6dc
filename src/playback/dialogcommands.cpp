#include "playback/dialogcommands.h"

#include "core/previewarea.h"
#include "platform/dialogs.h"
#include "platform/placement.h"
#include "playback/effectwindow.h"
#include "playback/jobedits.h"
#include "playback/previewtexts.h"
#include "playback/timecodeedit.h"
#include "playback/trimwindow.h"
#include "sources/filelist.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>

namespace {

// The first target row's identity; 0 (with the message shown) when there is none.
QueueRows::RowId targetRow(FileList &list, Dialogs &dialogs, QWidget *owner)
{
    const QList<int> rows = list.targetRows();
    if (rows.isEmpty()) {
        dialogs.showMessage(owner, MessageRequest::plain(kSelectFileFirst.toString()));
        return 0;
    }
    return list.rowId(rows.first());
}

void placeOver(QDialog &dialog, QWidget *owner)
{
    if (owner)
        dialog.move(Placement::modalTopLeft(owner->frameGeometry(), dialog.width()));
}

} // namespace

void OpenTrimDialog(
    TtrimFrm &dialog, FileList &list, PreviewArea &preview, bool stopPreview, Dialogs &dialogs, QWidget *owner)
{
    const QueueRows::RowId id = targetRow(list, dialogs, owner);
    if (id == 0)
        return;
    if (stopPreview)
        preview.Stop();
    if (!dialog.load(list.job(list.rowOfId(id))))
        return;
    placeOver(dialog, owner);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The row is looked up again: the list may have changed while the dialog was open.
    const int row = list.rowOfId(id);
    if (row >= 0)
        ApplyTrim(list.job(row), dialog.controls().startEdit->text(), dialog.controls().lengthEdit->text());
}

void OpenEffectDialog(TEffectFrm &dialog, FileList &list, Dialogs &dialogs, QWidget *owner)
{
    const QueueRows::RowId id = targetRow(list, dialogs, owner);
    if (id == 0)
        return;
    const TStartRecord &job = list.job(list.rowOfId(id));
    const EffectControls &ui = dialog.controls();
    ui.volumeBar->setValue(job.Volume);
    dialog.showNormalize(job.Loudness.normalizeLufs);
    placeOver(dialog, owner);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const int row = list.rowOfId(id);
    if (row >= 0) {
        ApplyVolume(list.job(row), ui.volumeBar->value());
        ApplyNormalize(list.job(row), ui.normalizeBox->isChecked(), ui.targetChooser->currentIndex());
    }
}
