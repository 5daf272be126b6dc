#pragma once

#include "engine/startrecord.h"

#include <QString>

// The source list as the conversion queue sees it: rows by index, each with its Status
// text, its job record and its Destination column.
class QueueRows
{
public:
    virtual ~QueueRows() = default;
    virtual int rowCount() const = 0;
    virtual QString status(int row) const = 0;
    virtual void setStatus(int row, const QString &status) = 0;
    virtual TStartRecord &job(int row) = 0;
    virtual void setDestination(int row, const QString &fileName) = 0;
};
