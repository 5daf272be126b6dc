#include "sources/destinationfolder.h"

#include "core/filenamefit.h"
#include "platform/dialogs.h"
#include "profiles/destinationhistory.h"
#include "sources/destinationname.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

QString asciiUpper(const QString &text)
{
    QString upper = text;
    for (QChar &c : upper)
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - u'a' + u'A');
    return upper;
}

bool isAbsolute(const QString &text)
{
    return text.startsWith(u'/');
}

} // namespace

std::optional<QString> CompleteFolder(const QStringList &history, const QString &typed)
{
    if (typed.isEmpty())
        return std::nullopt;
    const QString wanted = asciiUpper(typed);
    for (const QString &entry : history)
        if (asciiUpper(entry).startsWith(wanted) && entry.compare(typed, Qt::CaseInsensitive) > 0)
            return entry;
    return std::nullopt;
}

DestinationFolder::DestinationFolder(FolderField &field, Dialogs &dialogs, DestinationHistory &history,
    QString defaultOutputFolder, QWidget *owner, std::function<void()> applyToRows)
    : m_field(field)
    , m_dialogs(dialogs)
    , m_history(history)
    , m_defaultOutputFolder(std::move(defaultOutputFolder))
    , m_owner(owner)
    , m_applyToRows(std::move(applyToRows))
{ }

void DestinationFolder::mouseReleased()
{
    m_field.selectAll();
    m_previousFolder = m_field.text();
}

void DestinationFolder::confirm()
{
    // A text that is not absolute lies in the default output folder (an empty one is that
    // folder itself).
    if (!isAbsolute(m_field.text()))
        m_field.setText(m_defaultOutputFolder + u'/' + m_field.text());
    const QString folder = m_field.text();
    if (!QFileInfo(folder).isDir()) {
        const MessageRequest question = MessageRequest::confirmation(
            kCreateFolderQuestion.toString(), u"Confirm"_s, DialogIcon::Question, DialogButtons::YesNo);
        if (m_dialogs.showMessage(m_owner, question) != DialogAnswer::Yes) {
            refuse(false);
            return;
        }
        if (!QDir().mkdir(folder)) { // one level: the parent must exist
            refuse(true);
            return;
        }
    }
    if (!CanWriteInFolder(folder)) { // it exists, but no output could be written there
        refuse(true);
        return;
    }
    m_applyToRows();
}

void DestinationFolder::refuse(bool withMessage)
{
    if (withMessage)
        m_dialogs.showMessage(m_owner, MessageRequest::plain(kInvalidFolderMessage.toString()));
    m_field.setText(m_previousFolder);
    if (withMessage)
        browse();
}

void DestinationFolder::left()
{
    const QString text = m_field.text();
    const QString folder = isAbsolute(text) || text.isEmpty() ? text : JoinFolder(m_defaultOutputFolder, text);
    if (!text.isEmpty() && QFileInfo(folder).isDir())
        m_history.add(text);
    else
        m_field.setText(m_previousFolder);
}

void DestinationFolder::keyReleased(int key)
{
    switch (key) {
    case Qt::Key_Backspace:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Delete:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        return;
    default:
        break;
    }
    const int caret = m_field.caret();
    const std::optional<QString> proposal = CompleteFolder(m_history.entries(), m_field.text().left(caret));
    if (!proposal)
        return;
    m_field.setText(*proposal);
    m_field.selectToEnd(caret);
}

void DestinationFolder::browse()
{
    const QString chosen = m_dialogs.chooseFolder(m_owner, kBrowseTitle.toString(), kBrowseStart.toString());
    if (chosen.isEmpty())
        return;
    if (!CanWriteInFolder(chosen)) {
        m_dialogs.showMessage(m_owner, MessageRequest::plain(kInvalidFolderMessage.toString()));
        return;
    }
    m_field.setText(chosen);
    m_history.add(chosen);
    m_applyToRows();
}
