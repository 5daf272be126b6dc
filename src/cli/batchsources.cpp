#include "cli/batchsources.h"

#include "sources/destinationname.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>
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
    const QString outputCanonical = QFileInfo(outputFolder).canonicalFilePath();
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
        const QDir root(info.absoluteFilePath());
        QList<BatchSource> found;
        QStringList folders { root.absolutePath() };
        // Sub-folders are walked by hand so the output folder, hidden folders and links that
        // lead back up are left out.
        QSet<QString> seen;
        while (!folders.isEmpty()) {
            const QString folder = folders.takeFirst();
            const QString canonical = QFileInfo(folder).canonicalFilePath();
            const bool outputBelow = folder != root.absolutePath() && canonical == outputCanonical;
            if (seen.contains(canonical) || (!outputCanonical.isEmpty() && outputBelow))
                continue;
            seen.insert(canonical);
            const QFileInfoList entries
                = QDir(folder).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
            for (const QFileInfo &entry : entries) {
                const QString relative = root.relativeFilePath(entry.absoluteFilePath());
                const QString subFolder = QFileInfo(relative).path();
                const QString entryOutput
                    = subFolder == u"."_s ? outputFolder : QDir::cleanPath(outputFolder + u'/' + subFolder);
                if (entry.isDir()) {
                    if (recursive)
                        folders << entry.absoluteFilePath();
                } else if (IsCueSheetName(entry.fileName())) {
                    addSheet(gathered, QDir::cleanPath(entry.absoluteFilePath()),
                        QDir::cleanPath(input + u'/' + relative), entryOutput, sheetImages);
                } else if (IsMediaFileName(entry.fileName())) {
                    found << BatchSource { QDir::cleanPath(entry.absoluteFilePath()),
                        QDir::cleanPath(input + u'/' + relative), entryOutput };
                }
            }
        }
        std::sort(
            found.begin(), found.end(), [](const BatchSource &a, const BatchSource &b) { return a.path < b.path; });
        // An image its sheet has cut into tracks is not converted whole as well.
        found.removeIf([&sheetImages](const BatchSource &source) { return sheetImages.contains(source.path); });
        gathered.sources << found;
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
