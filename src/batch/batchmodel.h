#pragma once

#include "batch/queuerows.h"
#include "batch/rowstatus.h"
#include "core/startrecord.h"

#include <QAbstractTableModel>
#include <QHash>

#include <vector>

// One row of a batch: the source as the list names it, the job that converts it, and where it
// stands. Its identity is given once and never reused while the program runs.
struct BatchRow
{
    QueueRows::RowId id = 0;
    QString caption; // the Source column: the file's name, or a track's "NN - Title"
    QString captionToolTip; // what the Source column's tip adds (a track's image), else empty
    QString fileSize; // the File Size column, as FileSizeText gives it
    QString duration; // the Duration column, as probed when the row was added
    QString destination; // the Destination column: the output's file name
    TStartRecord job;
    RowStatus status;
};

// The rows of a batch, the one place their truth lives: the window shows them through a view
// on this model, the conversion engine and tolm-convert work on them by identity. Widget-free.
class BatchModel : public QAbstractTableModel, public QueueRows
{
    Q_OBJECT

public:
    enum Column { Source, FileSize, Duration, Destination, Status, ColumnCount };
    enum Role {
        StateRole = Qt::UserRole + 1, // int(RowState)
        ReasonRole, // QString: why a row failed or was refused
    };

    explicit BatchModel(QObject *parent = nullptr);

    // Appends a row (its identity is given here) and returns its index.
    int appendRow(BatchRow row);
    const BatchRow &row(int index) const { return m_rows[std::size_t(index)]; }
    void removeRowAt(int index);
    void clearRows();
    // Moves the row (its columns, record, status and identity) to another index.
    void moveRowTo(int from, int to);
    QString caption(int index) const { return row(index).caption; }
    // What a cell shows.
    QString cellText(int index, int column) const { return data(this->index(index, column)).toString(); }
    QString destination(int index) const { return row(index).destination; }

    // QueueRows
    int rowCount() const override { return int(m_rows.size()); }
    RowId rowId(int index) const override { return row(index).id; }
    int rowOfId(RowId id) const override;
    RowStatus status(int index) const override { return row(index).status; }
    void setStatus(int index, const RowStatus &status) override;
    TStartRecord &job(int index) override { return m_rows[std::size_t(index)].job; }
    void setDestination(int index, const QString &fileName) override;

    // QAbstractItemModel
    int rowCount(const QModelIndex &parent) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    void rowCountChanged(int count);

private:
    void changed(int index, int column);

    std::vector<BatchRow> m_rows;
    RowId m_nextRowId = 1;
    mutable QHash<RowId, int> m_indexOfId; // rebuilt on demand after a removal or a move
    mutable bool m_indexStale = false;
};
