#include "sources/namecommit.h"

#include "core/filenamefit.h"
#include "platform/dialogs.h"
#include "sources/destinationname.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

constexpr QStringView kRewriteQuestion = u"File exists,rewrite?";
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

    // Each existing file on the way may be replaced, if the user says so: the name stops there.
    const auto taken = [&](const QString &name) {
        const QString path = JoinFolder(request.folder, name);
        if (!QFileInfo::exists(path))
            return false;
        const bool offered = QFileInfo(path).isFile() && !(isRowSource && isRowSource(path));
        if (offered) {
            const MessageRequest question = MessageRequest::confirmation(
                kRewriteQuestion.toString(), u"Confirm"_s, DialogIcon::Question, DialogButtons::YesNo);
            if (dialogs.showMessage(owner, question) == DialogAnswer::Yes) {
                commit.replace = ReplaceMark::of(path);
                return false;
            }
        }
        return true;
    };
    QString first = FitFileName(named.chopped(request.extension.size()), request.extension);
    if (first.isEmpty())
        first = named; // an extension past a name's size: the system refuses the name
    // No room left for another mark: the conversion's own rule settles it.
    const QString name = FreeFileName(first, request.extension, kNewNameMark, taken).value_or(first);
    commit.name = name;
    commit.outputPath = JoinFolder(request.folder, name);
    return commit;
}
