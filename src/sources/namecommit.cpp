#include "sources/namecommit.h"

#include "core/fixedtext.h"
#include "platform/dialogs.h"
#include "sources/destinationname.h"

#include <QFileInfo>
#include <QThread>

using namespace Qt::StringLiterals;

namespace {

constexpr QStringView kRewriteQuestion = u"File exists,rewrite?";
constexpr QStringView kNewMark = u"(new)";
constexpr int kRetryWaitMs = 10;
constexpr int kOutputPathCapacity = FixedText<255>::kCapacity;

// base + "(new)" * count + extension, the base shortened when the whole path would pass the
// record's 255 characters, so that the extension (which decides the format) and the marks
// that make the name free are never cut away. Empty when the folder leaves no room.
QString fittedName(const QString &folder, const QString &base, int newCount, const QString &extension)
{
    const QString tail = kNewMark.toString().repeated(newCount) + extension;
    const qsizetype room = kOutputPathCapacity - JoinFolder(folder, tail).size();
    if (room < (base.isEmpty() ? 0 : 1))
        return {};
    return base.left(room) + tail;
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
    QString name = fittedName(request.folder, base, newCount, request.extension);
    if (name.isEmpty())
        name = named; // the folder alone fills the record: the record cuts the path
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
        const QString next = fittedName(request.folder, base, ++newCount, request.extension);
        if (next.isEmpty() || next == name)
            break; // no room left for another mark: the conversion's own rule settles it
        name = next;
        QThread::msleep(kRetryWaitMs);
    }
    commit.name = name;
    commit.outputPath = JoinFolder(request.folder, name);
    return commit;
}
