#include "batch/batchmodel.h"

using namespace Qt::StringLiterals;

namespace {

const QString kHeaders[BatchModel::ColumnCount]
    = { u"Source"_s, u"File Size"_s, u"Duration"_s, u"Destination"_s, u"Status"_s };

} // namespace

BatchModel::BatchModel(QObject *parent)
    : QAbstractTableModel(parent)
{ }

int BatchModel::appendRow(BatchRow row)
{
    const int index = rowCount();
    row.id = m_nextRowId++;
    beginInsertRows({}, index, index);
    m_rows.push_back(std::move(row));
    if (!m_indexStale)
        m_indexOfId.insert(m_rows.back().id, index);
    endInsertRows();
    Q_EMIT rowCountChanged(rowCount());
    return index;
}

void BatchModel::removeRowAt(int index)
{
    beginRemoveRows({}, index, index);
    m_rows.erase(m_rows.begin() + index);
    m_indexStale = true;
    endRemoveRows();
    Q_EMIT rowCountChanged(rowCount());
}

void BatchModel::clearRows()
{
    beginResetModel();
    m_rows.clear();
    m_indexOfId.clear();
    m_indexStale = false;
    endResetModel();
    Q_EMIT rowCountChanged(0);
}

void BatchModel::moveRowTo(int from, int to)
{
    if (from == to || from < 0 || to < 0 || from >= rowCount() || to >= rowCount())
        return;
    // Qt counts the destination before the move: one further down when moving down.
    beginMoveRows({}, from, from, {}, to > from ? to + 1 : to);
    BatchRow moving = std::move(m_rows[std::size_t(from)]);
    m_rows.erase(m_rows.begin() + from);
    m_rows.insert(m_rows.begin() + to, std::move(moving));
    m_indexStale = true;
    endMoveRows();
}

int BatchModel::rowOfId(RowId id) const
{
    if (m_indexStale) {
        m_indexOfId.clear();
        m_indexOfId.reserve(qsizetype(m_rows.size()));
        for (std::size_t index = 0; index < m_rows.size(); ++index)
            m_indexOfId.insert(m_rows[index].id, int(index));
        m_indexStale = false;
    }
    return m_indexOfId.value(id, -1);
}

void BatchModel::setStatus(int index, const RowStatus &status)
{
    BatchRow &row = m_rows[std::size_t(index)];
    if (row.status == status)
        return;
    row.status = status;
    changed(index, Status);
}

void BatchModel::setDestination(int index, const QString &fileName)
{
    BatchRow &row = m_rows[std::size_t(index)];
    if (row.destination == fileName)
        return;
    row.destination = fileName;
    changed(index, Destination);
}

void BatchModel::changed(int index, int column)
{
    const QModelIndex cell = createIndex(index, column);
    Q_EMIT dataChanged(cell, cell);
}

int BatchModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rowCount();
}

int BatchModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant BatchModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const BatchRow &r = row(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        switch (index.column()) {
        case Source:
            return r.caption;
        case FileSize:
            return r.fileSize;
        case Duration:
            return r.duration;
        case Destination:
            return r.destination;
        case Status:
            return r.status.text();
        }
        return {};
    case Qt::ToolTipRole:
        return index.column() == Source && !r.captionToolTip.isEmpty() ? QVariant(r.captionToolTip) : QVariant();
    case Qt::TextAlignmentRole:
        return index.column() == FileSize ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    case StateRole:
        return int(r.status.state);
    case ReasonRole:
        return r.status.reason;
    }
    return {};
}

QVariant BatchModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return kHeaders[section];
    if (role == Qt::TextAlignmentRole)
        return QVariant(Qt::AlignCenter);
    return {};
}
