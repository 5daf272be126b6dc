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

#include <vector>

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
    if (row < 0)
        return;
    TStartRecord &job = list.job(row);
    const QString start = job.StartTime, length = job.Length;
    ApplyTrim(job, dialog.controls().startEdit->text(), dialog.controls().lengthEdit->text());
    if (job.StartTime != start || job.Length != length)
        ReopenIfFinished(list, row);
}

void OpenEffectDialog(TEffectFrm &dialog, FileList &list, Dialogs &dialogs, QWidget *owner)
{
    const QueueRows::RowId first = targetRow(list, dialogs, owner);
    if (first == 0)
        return;
    // Every selected row gets the effect; the dialog opens with the first one's values.
    std::vector<QueueRows::RowId> ids;
    for (const int row : list.targetRows())
        ids.push_back(list.rowId(row));
    const TStartRecord &job = list.job(list.rowOfId(first));
    const EffectControls &ui = dialog.controls();
    ui.volumeBar->setValue(job.Volume);
    dialog.showNormalize(job.Loudness.normalizeLufs);
    placeOver(dialog, owner);
    if (dialog.exec() != QDialog::Accepted)
        return;
    for (const QueueRows::RowId id : ids) {
        const int row = list.rowOfId(id); // the list may have changed while the dialog was open
        if (row < 0)
            continue;
        TStartRecord &changed = list.job(row);
        const int volume = changed.Volume;
        const std::optional<int> normalize = changed.Loudness.normalizeLufs;
        ApplyVolume(changed, ui.volumeBar->value());
        ApplyNormalize(changed, ui.normalizeBox->isChecked(), ui.targetChooser->currentIndex());
        if (changed.Volume != volume || changed.Loudness.normalizeLufs != normalize)
            ReopenIfFinished(list, row);
    }
}
