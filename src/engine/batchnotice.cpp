#include "engine/batchnotice.h"

#include "engine/conversionengine.h"
#include "platform/notifier.h"

using namespace Qt::StringLiterals;

BatchNotice::BatchNotice(
    ConversionEngine &queue, std::unique_ptr<Notifier> notifier, std::function<bool()> userIsLooking, QObject *parent)
    : QObject(parent)
    , m_queue(queue)
    , m_notifier(std::move(notifier))
    , m_userIsLooking(std::move(userIsLooking))
{
    connect(&queue, &ConversionEngine::queueStarted, this, [this] { m_converted = m_failed = 0; });
    connect(&queue, &ConversionEngine::rowEnded, this, [this](int, bool converted) { countRow(converted); });
    // A transcoder that cannot be started leaves its row as it was, yet the row did fail.
    connect(&queue, &ConversionEngine::startFailed, this, [this] { ++m_failed; });
    connect(&queue, &ConversionEngine::queueFinished, this, &BatchNotice::batchEnded);
    connect(m_notifier.get(), &Notifier::activated, this, &BatchNotice::activated);
}

BatchNotice::~BatchNotice() = default;

QString BatchNotice::summaryText()
{
    return u"Conversion finished"_s;
}

QString BatchNotice::bodyText(int converted, int failed)
{
    return u"%1 converted, %2 failed"_s.arg(converted).arg(failed);
}

void BatchNotice::countRow(bool converted)
{
    ++(converted ? m_converted : m_failed);
}

void BatchNotice::batchEnded()
{
    if (m_queue.wasAbandoned() || m_converted + m_failed == 0 || m_userIsLooking())
        return;
    m_notifier->notify(summaryText(), bodyText(m_converted, m_failed));
}
