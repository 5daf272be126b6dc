#include "sources/intakeplan.h"

#include "sources/folderwalk.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

IntakeEntry sheetEntry(const QString &path, const QString &shown, const QString &relativeFolder,
    const std::variant<QList<CueTrackRow>, QString> &expanded)
{
    IntakeEntry entry { IntakeEntry::Kind::CueSheet, path, shown, relativeFolder, {}, {} };
    if (const auto *refusal = std::get_if<QString>(&expanded)) {
        entry.kind = IntakeEntry::Kind::BadSheet;
        entry.refusal = *refusal;
    } else {
        entry.tracks = std::get<QList<CueTrackRow>>(expanded);
    }
    return entry;
}

} // namespace

QList<IntakeEntry> PlanIntake(const QStringList &paths, const IntakeOptions &options)
{
    QList<IntakeEntry> plan;
    for (const QString &given : paths) {
        const QString path = QDir::cleanPath(QDir::current().absoluteFilePath(given));
        const QFileInfo info(path);
        // A sheet named by itself says itself why it cannot be read, missing or not.
        if (IsCueSheetName(path) && !info.isDir()) {
            plan << sheetEntry(path, given, {}, ExpandCueSheet(path));
            continue;
        }
        if (info.isFile()) {
            plan << IntakeEntry { IntakeEntry::Kind::File, path, given, {}, {}, {} };
            continue;
        }
        if (!info.isDir()) {
            plan << IntakeEntry { IntakeEntry::Kind::NotFound, path, given, {}, {}, {} };
            continue;
        }
        FolderWalk how;
        how.withCueSheets = true;
        how.subFolders = options.subFolders;
        how.leaveOut = options.leaveOut;
        const auto shownFor
            = [&](const QString &file) { return QDir::cleanPath(given + u'/' + QDir(path).relativeFilePath(file)); };
        const qsizetype before = plan.size();
        QList<WalkProblem> problems;
        const QList<FolderFile> files = MediaFilesBelow(path, how, &problems);
        for (const WalkProblem &problem : std::as_const(problems))
            plan << IntakeEntry { IntakeEntry::Kind::Unreadable, problem.path, shownFor(problem.path), {}, {},
                problem.reason };
        for (const FolderEntry &found : SheetsFirst(files)) {
            const FolderFile &file = found.file;
            if (found.sheet)
                plan << sheetEntry(file.path, shownFor(file.path), file.relativeFolder, *found.sheet);
            else
                plan << IntakeEntry { IntakeEntry::Kind::File, file.path, shownFor(file.path), file.relativeFolder, {},
                    {} };
        }
        if (plan.size() == before + problems.size())
            plan << IntakeEntry { IntakeEntry::Kind::EmptyFolder, path, given, {}, {}, {} };
    }
    return plan;
}
