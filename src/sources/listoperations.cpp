#include "sources/listoperations.h"

#include "sources/destinationname.h"
#include "sources/filelist.h"

int MoveRow(FileList &list, MoveDirection direction)
{
    const QList<int> selected = list.selectedRows();
    if (selected.isEmpty())
        return -1;
    const int from = selected.first();
    const int to = direction == MoveDirection::Up ? from - 1 : from + 1;
    if (to < 0 || to >= list.rowCount())
        return -1;

    list.moveRow(from, to);
    // The current row moves the view's focus row, which a list view scrolls to.
    list.selectOnly(to);
    return to;
}

int RemoveSelectedRows(FileList &list)
{
    const QList<int> selected = list.selectedRows();
    for (qsizetype i = selected.size() - 1; i >= 0; --i)
        list.removeRow(selected.at(i));
    return int(selected.size());
}

void ApplyFolderToRows(FileList &list, const QString &folder)
{
    for (const int index : list.targetRows()) {
        TStartRecord &job = list.job(index);
        const QString outputPath = JoinFolder(RowOutputFolder(folder, job), list.destination(index));
        if (outputPath == job.OutputPath.text())
            continue;
        job.OutputPath = outputPath;
        ReopenIfFinished(list, index);
    }
}

QString CellToolTip(FileList &list, int row, int column)
{
    if (row < 0 || row >= list.rowCount())
        return {};
    const QString text = list.cellText(row, column);
    switch (column) {
    case BatchModel::Source:
        return text;
    case BatchModel::Destination: {
        const QString outputPath = list.job(row).OutputPath.text();
        return outputPath.isEmpty() ? text : text + u'\n' + outputPath;
    }
    default:
        return {};
    }
}
