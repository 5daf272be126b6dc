#include "batch/rowstatus.h"

#include "core/programtexts.h"

QString RowStatus::text() const
{
    switch (state) {
    case RowState::Examining:
    case RowState::Ready:
    case RowState::Waiting:
        return kStatusReady.toString();
    case RowState::Converting:
    case RowState::Stopped:
        return QString::number(percent) + u'%';
    case RowState::Done:
    case RowState::Skipped:
        return kStatusDone.toString();
    case RowState::Failed:
    case RowState::Refused:
        return kStatusFailed.toString();
    }
    return {};
}
