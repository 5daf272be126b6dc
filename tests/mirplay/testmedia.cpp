#include "testmedia.h"

#include <QFileInfo>
#include <QProcess>

using namespace Qt::StringLiterals;

QString makeTestMedia(const QString &pipelineTail, const QString &path)
{
    QProcess launch;
    QStringList arguments { u"-q"_s };
    arguments += QProcess::splitCommand(pipelineTail);
    arguments += { u"!"_s, u"filesink"_s, u"location="_s + path };
    launch.start(u"gst-launch-1.0"_s, arguments);
    if (!launch.waitForFinished(60000) || launch.exitStatus() != QProcess::NormalExit || launch.exitCode() != 0)
        return u"gst-launch-1.0 failed: "_s + QString::fromLocal8Bit(launch.readAllStandardError());
    if (QFileInfo(path).size() == 0)
        return u"gst-launch-1.0 wrote nothing"_s;
    return {};
}
