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

void TimeCodeEdit::keyPressEvent(QKeyEvent *event)
{
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
    selectCaretCharacter();
}

void TimeCodeEdit::mousePressEvent(QMouseEvent *event)
{
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
    QLineEdit::mousePressEvent(event);
    selectAt(cursorPosition());
}
