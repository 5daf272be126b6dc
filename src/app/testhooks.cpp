#include "app/testhooks.h"

#include "core/queuerows.h"
#include "engine/conversionqueue.h"

#include <QStringList>

#include <cstdio>

using namespace Qt::StringLiterals;

TestHooks TestHooks::fromEnvironment()
{
    const QStringList switches = qEnvironmentVariable("TOLM_TEST_HOOKS").split(u',', Qt::SkipEmptyParts);
    TestHooks hooks;
    hooks.report = switches.contains(u"report"_s);
    hooks.startMinimized = switches.contains(u"start-minimized"_s);
    hooks.startBatch = switches.contains(u"start"_s);
    for (const QString &item : switches) {
        if (item.startsWith(u"after-done="_s))
            hooks.afterDone = item.section(u'=', 1).toInt();
    }
    return hooks;
}

void TestHooks::print(const QString &line) const
{
    if (!report)
        return;
    std::fputs(qPrintable(line + u'\n'), stdout);
    std::fflush(stdout);
}

void TestHooks::follow(const ConversionQueue &queue, const QueueRows &rows) const
{
    if (!report)
        return;
    const TestHooks hooks = *this;
    QObject::connect(&queue, &ConversionQueue::queueStarted, [hooks] { hooks.print(u"queue-started"_s); });
    QObject::connect(&queue, &ConversionQueue::rowStarted,
        [hooks, &queue](int row) { hooks.print(u"row-started %1 %2"_s.arg(row).arg(queue.transcoderProcessId())); });
    QObject::connect(&queue, &ConversionQueue::rowEnded, [hooks, &rows](int row) {
        hooks.print(u"row-ended %1 %2"_s.arg(row).arg(row >= 0 ? rows.status(row) : QString()));
    });
    QObject::connect(&queue, &ConversionQueue::queueFinished,
        [hooks, &queue] { hooks.print(u"queue-finished abandoned=%1"_s.arg(int(queue.wasAbandoned()))); });
}

DialogAnswer ReportingDialogs::showMessage(QWidget *owner, const MessageRequest &request)
{
    m_hooks.print(u"message "_s + QString(request.text).replace(u'\n', u"\\n"_s));
    return m_dialogs.showMessage(owner, request);
}
