#pragma once

#include "platform/inhibitor.h"

#include <QStringList>

#include <set>

// Test back-end: records "hold sleep: <reason>" and "release" instead of asking the system,
// refuses when told to, and lets a test announce a sleep.
class RecordingInhibitor final : public Inhibitor
{
public:
    bool hold(What what, const QString &reason) override
    {
        steps << QStringLiteral("hold ") + whatName(what) + QStringLiteral(": ") + reason;
        if (refuse) {
            m_errorText = QStringLiteral("refused");
            return false;
        }
        m_errorText.clear();
        m_held.insert(what);
        return true;
    }
    void releaseAll() override
    {
        if (!m_held.empty())
            steps << QStringLiteral("release");
        m_held.clear();
    }
    bool holds(What what) const override { return m_held.contains(what); }
    void announceSleep() { Q_EMIT prepareForSleep(); }

    QStringList steps;
    bool refuse = false;

private:
    std::set<What> m_held;
};
