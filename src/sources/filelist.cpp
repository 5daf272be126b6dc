#include "sources/filelist.h"

#include <algorithm>

FileList::FileList(QObject *parent)
    : BatchModel(parent)
    , m_selection(this)
{ }

int FileList::appendRow(const QString &caption, const QString &fileSize, const QString &duration,
    const QString &destination, const TStartRecord &job, const QString &captionToolTip)
{
    BatchRow row;
    row.caption = caption;
    row.captionToolTip = captionToolTip;
    row.fileSize = fileSize;
    row.duration = duration;
    row.destination = destination;
    row.job = job;
    return BatchModel::appendRow(std::move(row));
}

bool FileList::isSelected(int index) const
{
    return m_selection.isRowSelected(index);
}

void FileList::select(int index)
{
    m_selection.select(this->index(index, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void FileList::selectOnly(int index)
{
    m_selection.setCurrentIndex(this->index(index, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

QList<int> FileList::selectedRows() const
{
    QList<int> rows;
    const QModelIndexList selected = m_selection.selectedRows();
    rows.reserve(selected.size());
    for (const QModelIndex &index : selected)
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

QList<int> FileList::targetRows()
{
    QList<int> rows = selectedRows();
    if (rows.isEmpty() && rowCount() == 1) {
        select(0);
        rows << 0;
    }
    return rows;
}
