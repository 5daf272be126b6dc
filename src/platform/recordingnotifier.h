#pragma once

#include "platform/notifier.h"

#include <QStringList>

// Test back-end: records "summary | body" for each notification; click() plays the user's click.
class RecordingNotifier final : public Notifier
{
public:
    void notify(const QString &summary, const QString &body) override
    {
        shown << summary + QStringLiteral(" | ") + body;
    }
    void click() { Q_EMIT activated(); }

    QStringList shown;
};
