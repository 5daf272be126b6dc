#include "cli/inputlist.h"

#include "sources/destinationname.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

using namespace Qt::StringLiterals;

std::optional<QStringList> ReadInputList(const QString &file, bool nulSeparated, QString *error)
{
    QFile list;
    const bool opened = file == u"-"_s ? list.open(stdin, QIODevice::ReadOnly)
                                       : (list.setFileName(file), list.open(QIODevice::ReadOnly));
    if (!opened) {
        *error = u"cannot read the list %1: %2"_s.arg(file, list.errorString());
        return std::nullopt;
    }
    const QByteArray bytes = list.readAll();
    QStringList entries;
    for (const QByteArray &entry : bytes.split(nulSeparated ? '\0' : '\n')) {
        // A name is taken byte for byte, as the file system gives it.
        const QByteArray name = nulSeparated || !entry.endsWith('\r') ? entry : entry.chopped(1);
        if (!name.isEmpty())
            entries << QFile::decodeName(name);
    }
    return entries;
}

GatheredSources GatherListed(const QStringList &entries, bool recursive, const QString &outputFolder)
{
    GatheredSources all;
    for (const QString &entry : entries) {
        GatheredSources one = GatherSources({ entry }, recursive, outputFolder);
        const QString folder = QDir::cleanPath(QFileInfo(entry).path());
        const bool mirrored = QDir::isRelativePath(entry) && !QFileInfo(entry).isDir() && folder != u"."_s
            && folder != u".."_s && !folder.startsWith(u"../"_s);
        for (BatchSource &source : one.sources) {
            if (mirrored)
                source.outputFolder = MirroredFolder(outputFolder, folder);
            all.sources << source;
        }
        all.missing << one.missing;
        all.refused << one.refused;
    }
    return all;
}
