#include "sources/listoperations.h"

#include "sources/destinationname.h"
#include "sources/filelist.h"

#include <QTreeWidget>

int MoveRow(FileList &list, MoveDirection direction)
{
    const QList<int> selected = list.selectedRows();
    if (selected.isEmpty())
        return -1;
    const int from = selected.first();
    const int to = direction == MoveDirection::Up ? from - 1 : from + 1;
    if (to < 0 || to >= list.rowCount())
        return -1;

    QTreeWidget *view = list.view();
    view->setUpdatesEnabled(false);
    list.moveRow(from, to);
    view->clearSelection();
    view->setCurrentItem(list.row(to));
    list.row(to)->setSelected(true);
    view->setUpdatesEnabled(true);
    view->setFocus();
    view->scrollToItem(list.row(to), QAbstractItemView::EnsureVisible);
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
    for (const int index : list.targetRows())
        list.job(index).OutputPath = JoinFolder(RowOutputFolder(folder, list.job(index)), list.destination(index));
}

QString CellToolTip(FileList &list, int row, int column)
{
    if (row < 0 || row >= list.rowCount())
        return {};
    const QString text = list.row(row)->text(column);
    switch (column) {
    case SourceColumn::Source:
        return text;
    case SourceColumn::Destination: {
        const QString outputPath = list.job(row).OutputPath.text();
        return outputPath.isEmpty() ? text : text + u'\n' + outputPath;
    }
    default:
        return {};
    }
}
