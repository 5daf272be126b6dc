#include "engine/sessionguard.h"

#include "engine/conversionengine.h"
#include "platform/inhibitor.h"

using namespace Qt::StringLiterals;

namespace {

MessageRequest systemMessage(QStringView lastLine)
{
    MessageRequest request = MessageRequest::plain(kRunningLine + u"\n\n"_s + lastLine);
    request.caption = kSystemMessageCaption.toString();
    request.icon = DialogIcon::Warning;
    return request;
}

} // namespace

GuardAnswer AnswerPowerChange(bool converting)
{
    if (!converting)
        return { .allow = true, .stopPreview = true, .bringToFront = false, .message = std::nullopt };
    return { .allow = false, .stopPreview = false, .bringToFront = true, .message = systemMessage(kNoSleepLine) };
}

GuardAnswer AnswerSessionEnd(bool converting)
{
    if (!converting)
        return { .allow = true, .stopPreview = true, .bringToFront = false, .message = std::nullopt };
    return { .allow = false, .stopPreview = false, .bringToFront = false, .message = systemMessage(kNoSessionEndLine) };
}

SessionGuard::SessionGuard(ConversionEngine &queue, std::unique_ptr<Inhibitor> inhibitor, QObject *parent)
    : QObject(parent)
    , m_inhibitor(std::move(inhibitor))
{
    connect(&queue, &ConversionEngine::queueStarted, this, &SessionGuard::holdLocks);
    connect(&queue, &ConversionEngine::queueFinished, this, &SessionGuard::release);
    connect(m_inhibitor.get(), &Inhibitor::prepareForSleep, this, &SessionGuard::prepareForSleep);
}

SessionGuard::~SessionGuard()
{
    release();
}

QString SessionGuard::sleepReason()
{
    return kRunningLine + u"\n\n"_s + kNoSleepLine;
}

QString SessionGuard::sessionEndReason()
{
    return kRunningLine + u"\n\n"_s + kNoSessionEndLine;
}

void SessionGuard::holdLocks()
{
    const std::pair<Inhibitor::What, QString> locks[]
        = { { Inhibitor::What::Sleep, sleepReason() }, { Inhibitor::What::Shutdown, sessionEndReason() } };
    for (const auto &[what, reason] : locks) {
        if (m_inhibitor->hold(what, reason))
            continue;
        const QString line = u"The system may %1 during this conversion: the lock was refused (%2)."_s.arg(
            Inhibitor::whatName(what), m_inhibitor->errorText());
        qWarning("%s", qPrintable(line));
        Q_EMIT logLine(line);
    }
}

void SessionGuard::release()
{
    m_inhibitor->releaseAll();
}
