#include "platform/userinfo.h"

#include <pwd.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

QString LoggedOnUserName()
{
    constexpr qsizetype kMaxLength = 100;
    QString name;
    if (const passwd *entry = getpwuid(geteuid()); entry && entry->pw_name)
        name = QString::fromLocal8Bit(entry->pw_name);
    if (name.isEmpty())
        name = qEnvironmentVariable("USER");
    if (name.isEmpty())
        return u"TOLM_USER"_s;
    return name.left(kMaxLength);
}
