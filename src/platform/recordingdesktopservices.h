#pragma once

#include "platform/desktopservices.h"

#include <QList>

// Test back-end: remembers every address it was asked to open and opens nothing.
class RecordingDesktopServices final : public DesktopServices
{
public:
    bool open(const QUrl &url) override
    {
        opened.append(url);
        return succeed;
    }

    QList<QUrl> opened;
    bool succeed = true; // what the next calls report
};
