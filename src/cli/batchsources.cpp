#include "cli/batchsources.h"

#include "sources/destinationname.h"
#include "sources/intakeplan.h"

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

GatheredSources GatherSources(const QStringList &inputs, bool recursive, const QString &outputFolder)
{
    GatheredSources gathered;
    // The output folder is never taken as input, so a run never converts an earlier run's outputs.
    for (const IntakeEntry &planned : PlanIntake(inputs, { .subFolders = recursive, .leaveOut = outputFolder })) {
        // The tree is mirrored as the window mirrors an added folder, the folder's own name first;
        // without -r only that first level is taken.
        const QString folder = MirroredFolder(outputFolder, planned.relativeFolder);
        switch (planned.kind) {
        case IntakeEntry::Kind::File:
            gathered.sources << BatchSource { planned.path, planned.shown, folder };
            break;
        case IntakeEntry::Kind::CueSheet:
            for (const CueTrackRow &track : planned.tracks) {
                gathered.sources << BatchSource { QDir::cleanPath(track.imagePath),
                    planned.shown + u": "_s + track.caption, folder, track };
            }
            break;
        case IntakeEntry::Kind::BadSheet:
        case IntakeEntry::Kind::Unreadable:
            gathered.refused.append({ planned.shown, planned.refusal });
            break;
        case IntakeEntry::Kind::NotFound:
            gathered.missing << planned.shown;
            break;
        case IntakeEntry::Kind::EmptyFolder:
            break; // nothing to convert there, and nothing wrong
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
