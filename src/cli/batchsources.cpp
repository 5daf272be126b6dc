#include "cli/batchsources.h"

#include "sources/destinationname.h"

#include <QDir>
#include <QFileInfo>

#include <optional>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

QString BatchOutputName(const BatchSource &source, const QString &extension)
{
    if (source.track)
        return source.track->outputStem + extension;
    return DestinationName(QFileInfo(source.path).fileName(), extension);
}

namespace {

// The tracks of a sheet as sources, or its refusal.
void addSheet(GatheredSources &gathered, const std::variant<QList<CueTrackRow>, QString> &expanded,
    const QString &shown, const QString &outputFolder)
{
    if (const auto *refusal = std::get_if<QString>(&expanded)) {
        gathered.refused.append({ shown, *refusal });
        return;
    }
    for (const CueTrackRow &track : std::get<QList<CueTrackRow>>(expanded)) {
        gathered.sources << BatchSource { QDir::cleanPath(track.imagePath), shown + u": "_s + track.caption,
            outputFolder, track };
    }
}

} // namespace

GatheredSources GatherSources(const QStringList &inputs, bool recursive, const QString &outputFolder)
{
    GatheredSources gathered;
    for (const QString &input : inputs) {
        const QFileInfo info(input);
        if (info.isFile() && IsCueSheetName(input)) {
            addSheet(gathered, ExpandCueSheet(QDir::cleanPath(info.absoluteFilePath())), input, outputFolder);
            continue;
        }
        if (info.isFile()) {
            gathered.sources << BatchSource { QDir::cleanPath(info.absoluteFilePath()), input, outputFolder };
            continue;
        }
        if (!info.isDir()) {
            gathered.missing << input;
            continue;
        }
        const QString root = QDir::cleanPath(info.absoluteFilePath());
        // The output folder is never taken as input, so a run never converts an earlier run's outputs.
        QList<WalkProblem> problems;
        const QList<FolderFile> files = MediaFilesBelow(
            root, { .withCueSheets = true, .subFolders = recursive, .leaveOut = outputFolder }, &problems);
        // With -r the tree is mirrored as the window mirrors an added folder; without it the
        // folder's own files go straight into the output folder.
        const auto outputFor = [&](const FolderFile &file) {
            return recursive ? MirroredFolder(outputFolder, file.relativeFolder) : outputFolder;
        };
        const auto shownFor
            = [&](const QString &path) { return QDir::cleanPath(input + u'/' + QDir(root).relativeFilePath(path)); };
        for (const WalkProblem &problem : std::as_const(problems))
            gathered.refused.append({ shownFor(problem.path), problem.reason });
        for (const FolderEntry &found : SheetsFirst(files)) {
            if (found.sheet)
                addSheet(gathered, *found.sheet, shownFor(found.file.path), outputFor(found.file));
            else
                gathered.sources << BatchSource { found.file.path, shownFor(found.file.path), outputFor(found.file) };
        }
    }
    return gathered;
}

namespace {

std::optional<QPair<quint64, quint64>> fileId(const QString &path)
{
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return QPair<quint64, quint64>(quint64(status.st_dev), quint64(status.st_ino));
}

} // namespace

OutputNames::OutputNames(ClashRule rule, const QList<BatchSource> &sources)
    : m_rule(rule)
{
    for (const BatchSource &source : sources) {
        if (const auto id = fileId(source.path))
            m_sourceIds.insert(*id);
    }
}

bool OutputNames::exists(const QString &folder, const QString &name)
{
    return QFileInfo::exists(JoinFolder(folder, name));
}

bool OutputNames::isSource(const QString &path) const
{
    const auto id = fileId(path);
    return id && m_sourceIds.contains(*id);
}

QString OutputNames::reserve(const QString &folder, const QString &name, const QString &extension)
{
    QString path = JoinFolder(folder, name);
    const bool replaceable
        = m_rule == ClashRule::Overwrite && !m_reserved.contains(path) && !isSource(path) && !QFileInfo(path).isDir();
    if (!replaceable) {
        // Names this run gives out count as taken too, though their files are not written yet.
        const QString free = FreeDestinationName(
            folder, name, extension, [this](const QString &candidate) { return m_reserved.contains(candidate); });
        path = JoinFolder(folder, free);
    }
    m_reserved.insert(path);
    return path;
}
