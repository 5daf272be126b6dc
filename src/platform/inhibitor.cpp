#include "platform/inhibitor.h"

#include "platform/logindinhibitor.h"

#include <QDBusConnection>

using namespace Qt::StringLiterals;

Inhibitor::Inhibitor(QObject *parent)
    : QObject(parent)
{ }

Inhibitor::~Inhibitor() = default;

bool Inhibitor::hold(What, const QString &)
{
    m_errorText.clear();
    return true;
}

bool Inhibitor::holds(What) const
{
    return false;
}

QString Inhibitor::whatName(What what)
{
    return what == What::Sleep ? u"sleep"_s : u"shutdown"_s;
}

std::unique_ptr<Inhibitor> CreateSystemInhibitor()
{
    return std::make_unique<LogindInhibitor>(QDBusConnection::systemBus());
}
