#include "sources/namecommit.h"

#include "core/filenamefit.h"
#include "platform/dialogs.h"
#include "sources/destinationname.h"

#include <QFileInfo>
#include <QThread>

using namespace Qt::StringLiterals;

namespace {

constexpr QStringView kRewriteQuestion = u"File exists,rewrite?";
constexpr QStringView kNewMark = u"(new)";
constexpr int kRetryWaitMs = 10;
// base + "(new)" * count + extension, the base shortened when the name would pass a file
// name's 255 bytes, so that the extension (which decides the format) and the marks that make
// the name free are never cut away. Empty when the marks alone leave no room.
QString fittedName(const QString &base, int newCount, const QString &extension)
{
    return FitFileName(base, kNewMark.toString().repeated(newCount) + extension);
}

} // namespace

QString NameWithExtension(const QString &typed, const QString &caption, const QString &extension)
{
    QString name = typed;
    if (name.isEmpty() || name.startsWith(u' ')) {
        const qsizetype dot = caption.lastIndexOf(u'.');
        name = dot < 0 ? caption : caption.left(dot);
    }
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0)
        return name + extension;
    if (QStringView(name).mid(dot) == extension)
        return name;
    return name.left(dot) + extension;
}

bool IsRefusedName(const QString &name)
{
    return name.contains(u'/') || name.contains(QChar(0)) || name == u"." || name == u"..";
}

NameCommit CommitDestinationName(const NameCommitRequest &request, Dialogs &dialogs, QWidget *owner,
    const std::function<bool(const QString &path)> &isRowSource)
{
    NameCommit commit;
    const bool blank = request.typed.isEmpty() || request.typed.startsWith(u' ');
    const QString named = NameWithExtension(request.typed, request.caption, request.extension);
    if ((!blank && IsRefusedName(request.typed)) || IsRefusedName(named)) {
        dialogs.showMessage(owner, MessageRequest::plain(kRefusedNameMessage.toString()));
        commit.refused = true;
        commit.name = request.previousName;
        return commit;
    }

    const QString base = named.chopped(request.extension.size());
    int newCount = 0;
    QString name = fittedName(base, newCount, request.extension);
    if (name.isEmpty())
        name = named; // an extension past a name's size: the system refuses the name
    while (QFileInfo::exists(JoinFolder(request.folder, name))) {
        const QString path = JoinFolder(request.folder, name);
        const bool offered = QFileInfo(path).isFile() && !(isRowSource && isRowSource(path));
        if (offered) {
            const MessageRequest question = MessageRequest::confirmation(
                kRewriteQuestion.toString(), u"Confirm"_s, DialogIcon::Question, DialogButtons::YesNo);
            if (dialogs.showMessage(owner, question) == DialogAnswer::Yes) {
                commit.replace = ReplaceMark::of(path);
                break;
            }
        }
        const QString next = fittedName(base, ++newCount, request.extension);
        if (next.isEmpty() || next == name)
            break; // no room left for another mark: the conversion's own rule settles it
        name = next;
        QThread::msleep(kRetryWaitMs);
    }
    commit.name = name;
    commit.outputPath = JoinFolder(request.folder, name);
    return commit;
}
