#pragma once

#include "core/startrecord.h"

#include <QString>

// The source list as the conversion queue sees it: rows by index, each with its Status
// text, its job record and its Destination column. Indexes change when rows are removed or
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
    virtual QString status(int row) const = 0;
    virtual void setStatus(int row, const QString &status) = 0;
    virtual TStartRecord &job(int row) = 0;
    virtual void setDestination(int row, const QString &fileName) = 0;
};
