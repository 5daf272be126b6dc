#include "sources/folderwalk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <dirent.h>

using namespace Qt::StringLiterals;

bool IsMediaFileName(const QString &fileName)
{
    static const QSet<QString> kExtensions { u"aac"_s, u"ac3"_s, u"aif"_s, u"aifc"_s, u"aiff"_s, u"amr"_s, u"ape"_s,
        u"au"_s, u"avi"_s, u"caf"_s, u"flac"_s, u"flv"_s, u"m4a"_s, u"m4b"_s, u"m4v"_s, u"mka"_s, u"mkv"_s, u"mov"_s,
        u"mp2"_s, u"mp3"_s, u"mp4"_s, u"mpa"_s, u"mpeg"_s, u"mpg"_s, u"oga"_s, u"ogg"_s, u"ogv"_s, u"opus"_s, u"ra"_s,
        u"snd"_s, u"spx"_s, u"w64"_s, u"wav"_s, u"webm"_s, u"wma"_s, u"wv"_s };
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot > 0 && kExtensions.contains(fileName.mid(dot + 1).toLower());
}

namespace {

// The run of digits at `at`, its leading zeros left out (but one digit kept), and `at` moved
// past it. Called for every comparison of a sort, so it allocates nothing.
QStringView digitRun(const QString &name, qsizetype &at)
{
    qsizetype start = at;
    while (at < name.size() && name.at(at).isDigit())
        ++at;
    while (start + 1 < at && name.at(start) == u'0')
        ++start;
    return QStringView(name).mid(start, at - start);
}

// Names compared as people read them: runs of digits by their value ("2" before "10"), the
// rest without regard to letter case. Done here rather than by the locale's collator, which
// offers no numeric order in the C locale.
bool readsBefore(const QString &a, const QString &b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a.at(i).isDigit() && b.at(j).isDigit()) {
            const QStringView na = digitRun(a, i);
            const QStringView nb = digitRun(b, j);
            if (na.size() != nb.size())
                return na.size() < nb.size();
            if (const int c = na.compare(nb); c != 0)
                return c < 0;
            continue;
        }
        const int c = QString::compare(a.at(i), b.at(j), Qt::CaseInsensitive);
        if (c != 0)
            return c < 0;
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j))
        return (a.size() - i) < (b.size() - j);
    return a < b; // names alike but for letter case: a fixed order all the same
}

void walk(const QString &folder, const QString &relative, const FolderWalk &how, QSet<QString> &visited,
    QList<FolderFile> &found, QList<WalkProblem> *problems)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty() || visited.contains(canonical))
        return;
    visited.insert(canonical);
    // A folder that cannot be listed would give no files and no word why.
    if (DIR *listing = ::opendir(QFile::encodeName(folder).constData())) {
        // A name whose bytes are not valid UTF-8 cannot be reached by any path the program
        // holds: it is named rather than passed over without a word.
        while (const dirent *raw = ::readdir(listing)) {
            const QByteArray name(raw->d_name);
            const QString decoded = QFile::decodeName(name);
            if (problems && !name.startsWith('.') && QFile::encodeName(decoded) != name && IsMediaFileName(decoded))
                problems->append({ QDir::cleanPath(folder + u'/' + decoded),
                    u"its name is not valid UTF-8, so it cannot be opened; rename it"_s });
        }
        ::closedir(listing);
    } else {
        const int error = errno;
        if (problems)
            problems->append({ QDir::cleanPath(folder),
                u"the folder cannot be read (%1)"_s.arg(QString::fromLocal8Bit(std::strerror(error))) });
        return;
    }
    QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(entries.begin(), entries.end(),
        [](const QFileInfo &a, const QFileInfo &b) { return readsBefore(a.fileName(), b.fileName()); });
    QFileInfoList folders;
    for (const QFileInfo &entry : std::as_const(entries)) {
        if (entry.isDir())
            folders << entry;
        else if (entry.isFile()
            && (IsMediaFileName(entry.fileName()) || (how.withCueSheets && IsCueSheetName(entry.fileName()))))
            found << FolderFile { QDir::cleanPath(entry.absoluteFilePath()), relative };
    }
    if (!how.subFolders)
        return;
    for (const QFileInfo &sub : std::as_const(folders))
        walk(sub.absoluteFilePath(), relative + u'/' + sub.fileName(), how, visited, found, problems);
}

} // namespace

QList<FolderFile> MediaFilesBelow(const QString &folder, const FolderWalk &how)
{
    return MediaFilesBelow(folder, how, nullptr);
}

QList<FolderFile> MediaFilesBelow(const QString &folder, const FolderWalk &how, QList<WalkProblem> *problems)
{
    QSet<QString> visited;
    // Marked as seen, the left-out folder is passed over like a loop's second visit.
    if (const QString leaveOut = QFileInfo(how.leaveOut).canonicalFilePath();
        !leaveOut.isEmpty() && leaveOut != QFileInfo(folder).canonicalFilePath())
        visited.insert(leaveOut);
    QList<FolderFile> found;
    const QFileInfo root(QDir::cleanPath(folder));
    walk(root.absoluteFilePath(), root.fileName().isEmpty() ? u"root"_s : root.fileName(), how, visited, found,
        problems);
    return found;
}

QList<FolderEntry> SheetsFirst(const QList<FolderFile> &files)
{
    QList<FolderEntry> entries;
    QSet<QString> images;
    for (const FolderFile &file : files) {
        FolderEntry entry { file, std::nullopt };
        if (IsCueSheetName(file.path)) {
            entry.sheet = ExpandCueSheet(file.path);
            if (const auto *tracks = std::get_if<QList<CueTrackRow>>(&*entry.sheet)) {
                for (const CueTrackRow &track : *tracks)
                    images.insert(QDir::cleanPath(track.imagePath));
            }
        }
        entries << entry;
    }
    entries.removeIf([&images](const FolderEntry &entry) { return !entry.sheet && images.contains(entry.file.path); });
    return entries;
}
