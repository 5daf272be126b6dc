#include "app/testhooks.h"

#include "batch/queuerows.h"
#include "engine/conversionengine.h"
#include "sources/sourceintake.h"

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

void TestHooks::follow(const ConversionEngine &queue, const QueueRows &rows) const
{
    if (!report)
        return;
    const TestHooks hooks = *this;
    QObject::connect(&queue, &ConversionEngine::queueStarted, [hooks] { hooks.print(u"queue-started"_s); });
    QObject::connect(&queue, &ConversionEngine::rowStarted,
        [hooks, &queue](int row) { hooks.print(u"row-started %1 %2"_s.arg(row).arg(queue.transcoderProcessId(row))); });
    QObject::connect(&queue, &ConversionEngine::rowEnded, [hooks, &rows](int row) {
        hooks.print(u"row-ended %1 %2"_s.arg(row).arg(row >= 0 ? rows.status(row).text() : QString()));
    });
    QObject::connect(&queue, &ConversionEngine::queueFinished,
        [hooks, &queue] { hooks.print(u"queue-finished abandoned=%1"_s.arg(int(queue.wasAbandoned()))); });
}

void TestHooks::afterAdding(SourceIntake &intake, const std::function<void()> &then)
{
    if (!intake.isBusy()) {
        then();
        return;
    }
    auto *once = new QObject(&intake);
    QObject::connect(&intake, &SourceIntake::finished, once, [once, then] {
        once->deleteLater();
        then();
    });
}

DialogAnswer ReportingDialogs::showMessage(QWidget *owner, const MessageRequest &request)
{
    m_hooks.print(u"message "_s + QString(request.text).replace(u'\n', u"\\n"_s));
    return m_dialogs.showMessage(owner, request);
}
