#include "profiles/usersettings.h"

#include <QSettings>
#include <QStandardPaths>
#include <QThread>

using namespace Qt::StringLiterals;

namespace {
constexpr QStringView kSimultaneousKey = u"Conversion/Simultaneous";
}

QString UserSettings::filePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + u"/tolm-audio-converter/settings.ini"_s;
}

int UserSettings::simultaneousConversions()
{
    const QSettings settings(filePath(), QSettings::IniFormat);
    bool ok = false;
    const int count = settings.value(kSimultaneousKey.toString(), 1).toInt(&ok);
    return ok ? qBound(1, count, qMax(1, QThread::idealThreadCount())) : 1;
}

void UserSettings::setSimultaneousConversions(int count)
{
    QSettings settings(filePath(), QSettings::IniFormat);
    settings.setValue(kSimultaneousKey.toString(), count);
}
