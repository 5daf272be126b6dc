#include "engine/logwindow.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TlogFrm::TlogFrm(QWidget *parent)
    : QWidget(parent,
        Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMaximizeButtonHint
            | Qt::WindowCloseButtonHint)
    , m_text(kWelcome + u'\n') // a line of its own: the transcoder's text starts below it
{
    setObjectName(u"logFrm"_s);
    setWindowTitle(u"LOG"_s);
    setAccessibleName(windowTitle());
    // It opens small beside the main window and may be made as large as the screen: a
    // transcoder's complaint can be a long line.
    setMinimumSize(130, 23);
    setGeometry(700, 182, 397, 366);
    setWindowOpacity(235.0 / 255.0);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(u"Memo1"_s);
    Memo1->setAccessibleName(windowTitle());
    Memo1->setReadOnly(true);
    // Long lines wrap at the window's width, so their end is seen without scrolling sideways.
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setPlainText(m_text);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Memo1);
}

void TlogFrm::append(const QString &text, View view)
{
    m_text += text;
    // The text is inserted at the end rather than the whole text being set again, which would
    // cost a full relayout of an ever-growing log on every 100 ms read; what the user sees is
    // the same: the view at the beginning after a probe, at the newest text after a read of
    // a conversion.
    QTextCursor cursor(Memo1->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    cursor.movePosition(view == View::Newest ? QTextCursor::End : QTextCursor::Start);
    Memo1->setTextCursor(cursor);
    if (view == View::Newest) {
        Memo1->ensureCursorVisible();
        Memo1->verticalScrollBar()->setValue(Memo1->verticalScrollBar()->maximum());
    } else {
        Memo1->verticalScrollBar()->setValue(0);
        Memo1->horizontalScrollBar()->setValue(0);
    }
}

void TlogFrm::toggle()
{
    if (isVisible()) {
        hide();
        return;
    }
    show();
    raise();
}
