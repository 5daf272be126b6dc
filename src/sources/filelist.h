#pragma once

#include "core/queuerows.h"
#include "core/startrecord.h"

#include <QObject>
#include <QTreeWidgetItem>

class QTreeWidget;

// Columns of the source list.
namespace SourceColumn {
enum { Source, FileSize, Duration, Destination, Status, Count };
}

// One row of the source list with the job record it owns: the record moves with its row
// and goes with it.
class SourceRow : public QTreeWidgetItem
{
public:
    explicit SourceRow(QueueRows::RowId rowId)
        : id(rowId)
    { }
    const QueueRows::RowId id; // given once, never reused while the program runs
    TStartRecord job;
};

// The rows of `listview` and their records, as the queue, the probe and the list's own
// operations use them.
class FileList : public QObject, public QueueRows
{
    Q_OBJECT

public:
    explicit FileList(QTreeWidget *listview, QObject *parent = nullptr);

    QTreeWidget *view() const { return m_view; }

    // Appends a row with its columns and record; the row is not selected.
    SourceRow *appendRow(const QString &caption, const QString &fileSize, const QString &duration,
        const QString &destination, const TStartRecord &job);
    SourceRow *row(int index) const;
    // The row's index; -1 for an item that is not a row of this list.
    int indexOfRow(const QTreeWidgetItem *item) const;
    QString destination(int index) const;
    // Deletes the row and the record it owns.
    void removeRow(int index);
    // Deletes every row with its record.
    void clearRows();
    // Moves the row (its columns, record and identity) to another index.
    void moveRow(int from, int to);

    // The selected rows' indexes, in list order.
    QList<int> selectedRows() const;
    // The rows an operation works on: the selected ones; when none is selected and the list
    // holds exactly one row, that row is selected first. Empty when there is no target.
    QList<int> targetRows();

    // QueueRows
    int rowCount() const override;
    RowId rowId(int row) const override;
    int rowOfId(RowId id) const override;
    QString status(int row) const override;
    void setStatus(int row, const QString &status) override;
    TStartRecord &job(int row) override;
    void setDestination(int row, const QString &fileName) override;

Q_SIGNALS:
    void rowCountChanged(int count);

private:
    QTreeWidget *m_view;
    RowId m_nextRowId = 1;
};
