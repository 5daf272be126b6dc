#pragma once

#include "batch/rowstatus.h"
#include "core/startrecord.h"

#include <QString>

// The rows of a batch as the conversion engine sees them: rows by index, each with its
// status, its job record and its destination name. Indexes change when rows are removed or
// moved; a row's identity does not, so work that spans events holds the identity.
class QueueRows
{
public:
    using RowId = quint64;

    virtual ~QueueRows() = default;
    virtual int rowCount() const = 0;
    virtual RowId rowId(int row) const = 0;
    // The row's index now; -1 once it has left the list.
    virtual int rowOfId(RowId id) const = 0;
    virtual RowStatus status(int row) const = 0;
    virtual void setStatus(int row, const RowStatus &status) = 0;
    virtual TStartRecord &job(int row) = 0;
    virtual void setDestination(int row, const QString &fileName) = 0;
};

// A finished row whose output choices changed (profile, quality, settings, trim, effect,
// folder or name) is ready to be converted again; its new output follows the clash rule.
inline void ReopenIfFinished(QueueRows &rows, int row)
{
    if (rows.status(row).isDone())
        rows.setStatus(row, RowStatus::in(RowState::Ready));
}
