#include "app/testhooks.h"

#include <QStringList>

#include <cstdio>

using namespace Qt::StringLiterals;

TestHooks TestHooks::fromEnvironment()
{
    const QStringList switches = qEnvironmentVariable("TOLM_TEST_HOOKS").split(u',', Qt::SkipEmptyParts);
    TestHooks hooks;
    hooks.report = switches.contains(u"report"_s);
    hooks.startMinimized = switches.contains(u"start-minimized"_s);
    return hooks;
}

void TestHooks::print(const QString &line) const
{
    if (!report)
        return;
    std::fputs(qPrintable(line + u'\n'), stdout);
    std::fflush(stdout);
}
