#include "cli/batchsources.h"

#include "sources/destinationname.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

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

// The tracks of a sheet as sources, or its refusal; the images it uses are noted so a folder
// does not give them a second time, whole.
void addSheet(GatheredSources &gathered, const QString &sheetPath, const QString &shown, const QString &outputFolder,
    QSet<QString> &images)
{
    const auto expanded = ExpandCueSheet(sheetPath);
    if (const auto *refusal = std::get_if<QString>(&expanded)) {
        gathered.refused.append({ shown, *refusal });
        return;
    }
    for (const CueTrackRow &track : std::get<QList<CueTrackRow>>(expanded)) {
        const QString image = QDir::cleanPath(track.imagePath);
        images.insert(image);
        gathered.sources << BatchSource { image, shown + u": "_s + track.caption, outputFolder, track };
    }
}

} // namespace

GatheredSources GatherSources(const QStringList &inputs, bool recursive, const QString &outputFolder)
{
    GatheredSources gathered;
    for (const QString &input : inputs) {
        const QFileInfo info(input);
        QSet<QString> sheetImages;
        if (info.isFile() && IsCueSheetName(input)) {
            addSheet(gathered, QDir::cleanPath(info.absoluteFilePath()), input, outputFolder, sheetImages);
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
        const QList<FolderFile> files
            = MediaFilesBelow(root, { .withCueSheets = true, .subFolders = recursive, .leaveOut = outputFolder });
        // With -r the tree is mirrored as the window mirrors an added folder; without it the
        // folder's own files go straight into the output folder.
        const auto outputFor = [&](const FolderFile &file) {
            return recursive ? MirroredFolder(outputFolder, file.relativeFolder) : outputFolder;
        };
        const auto shownFor
            = [&](const QString &path) { return QDir::cleanPath(input + u'/' + QDir(root).relativeFilePath(path)); };
        // Every sheet is read first: the images it cuts into tracks are then known. Its tracks
        // (or its refusal) take the sheet's place in the order.
        QHash<QString, GatheredSources> sheets;
        for (const FolderFile &file : files)
            if (IsCueSheetName(file.path))
                addSheet(sheets[file.path], file.path, shownFor(file.path), outputFor(file), sheetImages);
        for (const FolderFile &file : files) {
            if (const auto sheet = sheets.constFind(file.path); sheet != sheets.cend()) {
                gathered.sources << sheet->sources;
                gathered.refused << sheet->refused;
            } else if (!sheetImages.contains(file.path)) {
                gathered.sources << BatchSource { file.path, shownFor(file.path), outputFor(file) };
            }
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
