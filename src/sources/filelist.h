#pragma once

#include "batch/batchmodel.h"

#include <QItemSelectionModel>

// The window's list: the batch's rows and which of them are selected. Widget-free; the window's
// list view shows this model with this selection, and the list's operations, the probe and the
// dialogs work on them here.
class FileList : public BatchModel
{
    Q_OBJECT

public:
    explicit FileList(QObject *parent = nullptr);

    QItemSelectionModel &selection() { return m_selection; }

    // Appends a row with its columns and record; the row is not selected.
    int appendRow(const QString &caption, const QString &fileSize, const QString &duration, const QString &destination,
        const TStartRecord &job, const QString &captionToolTip = {});
    void removeRow(int index) { removeRowAt(index); }
    void moveRow(int from, int to) { moveRowTo(from, to); }

    bool isSelected(int index) const;
    // Adds the row to the selection, whole.
    void select(int index);
    // The row alone selected and current.
    void selectOnly(int index);
    // The selected rows' indexes, in list order.
    QList<int> selectedRows() const;
    // The rows an operation works on: the selected ones; when none is selected and the list
    // holds exactly one row, that row is selected first. Empty when there is no target.
    QList<int> targetRows();

private:
    QItemSelectionModel m_selection;
};
