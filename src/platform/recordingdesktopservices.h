#pragma once

#include "platform/desktopservices.h"

#include <QList>

// Test back-end: remembers every address it was asked to open and opens nothing.
class RecordingDesktopServices final : public DesktopServices
{
public:
    void open(const QUrl &url, std::function<void()> failed = {}) override
    {
        opened.append(url);
        if (!succeed && failed)
            failed();
    }

    QList<QUrl> opened;
    bool succeed = true; // what the next calls report
};
