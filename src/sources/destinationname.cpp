#include "sources/destinationname.h"

#include "core/startrecord.h"

#include <QFileInfo>
#include <QThread>

using namespace Qt::StringLiterals;

QString JoinFolder(const QString &folder, const QString &name)
{
    if (folder.endsWith(u'/'))
        return folder + name;
    return folder + u'/' + name;
}

QString RowDestinationName(const TStartRecord &job, const QString &extension)
{
    if (!job.TrackName.isEmpty())
        return job.TrackName + extension;
    return DestinationName(QFileInfo(job.SourcePath).fileName(), extension);
}

QString DestinationName(const QString &sourceFileName, const QString &extension)
{
    const qsizetype dot = sourceFileName.lastIndexOf(u'.');
    return (dot < 0 ? sourceFileName : sourceFileName.left(dot)) + extension;
}

QString FreeDestinationName(const QString &folder, const QString &name, const QString &extension)
{
    QString free = name;
    while (QFileInfo::exists(JoinFolder(folder, free))) {
        const QString stem = free.endsWith(extension) ? free.chopped(extension.size()) : free;
        free = stem + u"(new)"_s + extension;
        QThread::msleep(10);
    }
    return free;
}
