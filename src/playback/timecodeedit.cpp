#include "playback/timecodeedit.h"

#include "core/timecode.h"

#include <QKeyEvent>

using namespace Qt::StringLiterals;

TimeCodeEdit::TimeCodeEdit(QWidget *parent)
    : QLineEdit(parent)
{
    setMaxLength(kTimeCodeLength);
    // Pasting or cutting would bypass the one-character rule.
    setContextMenuPolicy(Qt::NoContextMenu);
    setDragEnabled(false);
    setAcceptDrops(false);
}

int TimeCodeEdit::caret() const
{
    return hasSelectedText() ? selectionStart() : cursorPosition();
}

void TimeCodeEdit::selectAt(int position)
{
    position = qBound(0, position, int(text().size()));
    if (position < text().size())
        setSelection(position, 1);
    else
        setCursorPosition(position);
}

void TimeCodeEdit::selectCaretCharacter()
{
    selectAt(caret());
}

void TimeCodeEdit::showEntry()
{
    setText(m_entry->text()); // no textEdited: the entry is judged when it is finished
    if (m_entry->typedAny())
        selectAt(m_entry->position());
    else
        selectAll();
}

void TimeCodeEdit::finishEntry()
{
    if (!m_entry)
        return;
    const TimeCodeEntry entry = *m_entry;
    m_entry.reset();
    setText(entry.text());
    selectAt(qMin(entry.position(), int(entry.text().size()) - 1));
    if (entry.text() != entry.before())
        Q_EMIT textEdited(text());
}

bool TimeCodeEdit::entryKey(QKeyEvent *event)
{
    if (event->matches(QKeySequence::SelectAll)) {
        finishEntry();
        m_entry.emplace(text());
        showEntry();
        return true;
    }
    if (!m_entry)
        return false;
    switch (event->key()) {
    case Qt::Key_Backspace:
        m_entry->back();
        showEntry();
        return true;
    case Qt::Key_Escape:
        // The old text back; the key goes on to the dialog.
        setText(m_entry->before());
        m_entry.reset();
        selectAt(0);
        return false;
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_CapsLock:
        return true; // held for the next key (Shift for a colon): the entry goes on
    default:
        break;
    }
    const QString typed = event->text();
    if (typed.size() != 1 || event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)
        || !typed.at(0).isPrint()) {
        finishEntry(); // moving about, Enter, Tab: the entry ends as typed so far
        return false;
    }
    if (m_entry->type(typed.at(0))) {
        showEntry();
        if (m_entry->isComplete())
            finishEntry();
    }
    return true; // a key that cannot be applied leaves the entry as it was
}

void TimeCodeEdit::keyPressEvent(QKeyEvent *event)
{
    if (entryKey(event))
        return;
    switch (event->key()) {
    case Qt::Key_Backspace:
        if (caret() > 0)
            selectAt(caret() - 1);
        return;
    case Qt::Key_Left:
        selectAt(caret() - 1);
        return;
    case Qt::Key_Right:
        selectAt(caret() + 1);
        return;
    case Qt::Key_Home:
        selectAt(0);
        return;
    case Qt::Key_End:
        selectAt(int(text().size()) - 1);
        return;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        QLineEdit::keyPressEvent(event); // for the dialog: focus moves, default buttons
        return;
    default:
        break;
    }
    const QString typed = event->text();
    if (typed.size() != 1 || event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return; // shortcuts (paste, cut, undo) and keys without a character do nothing here
    const QChar digit = typed.at(0);
    if (digit < u'0' || digit > u'9')
        return;
    if (!hasSelectedText() || selectedText() == u":"_s)
        return;
    insert(QString(digit)); // replaces the selected character
}

void TimeCodeEdit::keyReleaseEvent(QKeyEvent *event)
{
    QLineEdit::keyReleaseEvent(event);
    if (m_entry)
        showEntry();
    else
        selectCaretCharacter();
}

bool TimeCodeEdit::event(QEvent *event)
{
    // Tab never reaches keyPressEvent: it moves the focus first.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
            finishEntry();
    }
    return QLineEdit::event(event);
}

void TimeCodeEdit::focusOutEvent(QFocusEvent *event)
{
    finishEntry();
    QLineEdit::focusOutEvent(event);
}

void TimeCodeEdit::mousePressEvent(QMouseEvent *event)
{
    finishEntry();
    QLineEdit::mousePressEvent(event);
    selectAt(cursorPosition());
}

void TimeCodeEdit::mouseReleaseEvent(QMouseEvent *event)
{
    QLineEdit::mouseReleaseEvent(event);
    selectAt(caret());
}

void TimeCodeEdit::mouseDoubleClickEvent(QMouseEvent *event)
{
    // A double click would select a whole word; the field keeps one character selected.
    finishEntry();
    QLineEdit::mousePressEvent(event);
    selectAt(cursorPosition());
}
