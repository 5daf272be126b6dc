#include "cli/leftovers.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

bool IsTemporaryOutputName(const QString &fileName)
{
    static const QRegularExpression pattern(u"^\\.sonmill-[A-Za-z0-9]{6}\\.part$"_s);
    return pattern.match(fileName).hasMatch();
}

QStringList OpenTemporaryOutputs(qint64 processId, const QString &folder)
{
    QStringList found;
    if (processId <= 0)
        return found;
    const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
    const QDir descriptors(u"/proc/%1/fd"_s.arg(processId));
    for (const QFileInfo &link : descriptors.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
        const QFileInfo target(link.symLinkTarget());
        if (IsTemporaryOutputName(target.fileName()) && target.absolutePath() == canonicalFolder)
            found << target.absoluteFilePath();
    }
    found.removeDuplicates();
    return found;
}
