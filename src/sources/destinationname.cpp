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

QString RowOutputFolder(const QString &destination, const TStartRecord &job)
{
    return job.RelativeFolder.isEmpty() ? destination : JoinFolder(destination, job.RelativeFolder);
}

QString RowDestinationFolder(const TStartRecord &job)
{
    const QString path = job.OutputPath;
    QString folder = path.left(qMax<qsizetype>(0, path.lastIndexOf(u'/')));
    if (!job.RelativeFolder.isEmpty() && folder.endsWith(u'/' + job.RelativeFolder))
        folder.chop(job.RelativeFolder.size() + 1);
    return folder.isEmpty() ? QStringLiteral("/") : folder;
}
