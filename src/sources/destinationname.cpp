#include "sources/destinationname.h"

#include "batch/outputchoices.h"
#include "core/filenamefit.h"
#include "core/startrecord.h"

#include <QDir>
#include <QFileInfo>

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
    const QString stem = dot < 0 ? sourceFileName : sourceFileName.left(dot);
    const QString fitted = FitFileName(stem, extension);
    return fitted.isEmpty() ? stem + extension : fitted; // an extension past 255 bytes: the system refuses it
}

QString FreeDestinationName(const QString &folder, const QString &name, const QString &extension,
    const std::function<bool(const QString &path)> &alsoTaken)
{
    const auto taken = [&](const QString &candidate) {
        const QString path = JoinFolder(folder, candidate);
        return QFileInfo::exists(path) || (alsoTaken && alsoTaken(path));
    };
    // No room left for the marks: the taken name stays, and its row fails.
    return FreeFileName(name, extension, kNewNameMark, taken).value_or(name);
}

QString MirroredFolder(const QString &destination, const QString &relativeFolder)
{
    return relativeFolder.isEmpty() ? destination : JoinFolder(destination, relativeFolder);
}

QString RowOutputFolder(const QString &destination, const TStartRecord &job)
{
    return MirroredFolder(destination, job.RelativeFolder);
}

QString RowDestinationFolder(const TStartRecord &job)
{
    const QString path = job.OutputPath;
    QString folder = path.left(qMax<qsizetype>(0, path.lastIndexOf(u'/')));
    if (!job.RelativeFolder.isEmpty() && folder.endsWith(u'/' + job.RelativeFolder))
        folder.chop(job.RelativeFolder.size() + 1);
    return folder.isEmpty() ? QStringLiteral("/") : folder;
}

QString CheckedDestinationFolder(
    OutputChoices &choices, const QString &startupDestination, const QString &defaultOutputFolder)
{
    const QString folder = choices.destinationFolder();
    if (QFileInfo(folder).isDir())
        return folder;
    if (folder == startupDestination && QDir().mkdir(folder))
        return folder;
    choices.setDestinationFolder(defaultOutputFolder);
    return defaultOutputFolder;
}
