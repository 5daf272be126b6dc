#include "sources/filelist.h"

#include "core/programtexts.h"

#include <QTreeWidget>

FileList::FileList(QTreeWidget *listview, QObject *parent)
    : QObject(parent)
    , m_view(listview)
{ }

SourceRow *FileList::appendRow(const QString &caption, const QString &fileSize, const QString &duration,
    const QString &destination, const TStartRecord &job)
{
    auto *item = new SourceRow(m_nextRowId++);
    item->setText(SourceColumn::Source, caption);
    item->setText(SourceColumn::FileSize, fileSize);
    item->setText(SourceColumn::Duration, duration);
    item->setText(SourceColumn::Destination, destination);
    item->setText(SourceColumn::Status, kStatusReady.toString());
    item->setTextAlignment(SourceColumn::FileSize, Qt::AlignRight | Qt::AlignVCenter);
    item->job = job;
    m_view->addTopLevelItem(item);
    Q_EMIT rowCountChanged(rowCount());
    return item;
}

SourceRow *FileList::row(int index) const
{
    return static_cast<SourceRow *>(m_view->topLevelItem(index));
}

int FileList::indexOfRow(const QTreeWidgetItem *item) const
{
    return item ? m_view->indexOfTopLevelItem(const_cast<QTreeWidgetItem *>(item)) : -1;
}

QString FileList::destination(int index) const
{
    return row(index)->text(SourceColumn::Destination);
}

void FileList::removeRow(int index)
{
    delete m_view->takeTopLevelItem(index);
    Q_EMIT rowCountChanged(rowCount());
}

void FileList::clearRows()
{
    m_view->clear();
    Q_EMIT rowCountChanged(0);
}

void FileList::moveRow(int from, int to)
{
    QTreeWidgetItem *item = m_view->takeTopLevelItem(from);
    m_view->insertTopLevelItem(to, item);
}

QList<int> FileList::selectedRows() const
{
    QList<int> rows;
    for (int index = 0; index < rowCount(); ++index)
        if (row(index)->isSelected())
            rows << index;
    return rows;
}

QList<int> FileList::targetRows()
{
    QList<int> rows = selectedRows();
    if (rows.isEmpty() && rowCount() == 1) {
        row(0)->setSelected(true);
        rows << 0;
    }
    return rows;
}

int FileList::rowCount() const
{
    return m_view->topLevelItemCount();
}

QueueRows::RowId FileList::rowId(int index) const
{
    return row(index)->id;
}

int FileList::rowOfId(RowId id) const
{
    for (int index = 0; index < rowCount(); ++index)
        if (row(index)->id == id)
            return index;
    return -1;
}

QString FileList::status(int index) const
{
    return row(index)->text(SourceColumn::Status);
}

void FileList::setStatus(int index, const QString &status)
{
    row(index)->setText(SourceColumn::Status, status);
}

TStartRecord &FileList::job(int index)
{
    return row(index)->job;
}

void FileList::setDestination(int index, const QString &fileName)
{
    row(index)->setText(SourceColumn::Destination, fileName);
}
