#include "mainwindow/linklabel.h"

#include <QKeyEvent>
#include <QMouseEvent>

using namespace Qt::StringLiterals;

LinkLabel::LinkLabel(const QString &text, const QUrl &url, QWidget *parent)
    : QLabel(text, parent)
    , m_url(url)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(text);
    setAccessibleDescription(url.toString());
    setToolTip(url.toString());
    setColour(kNormal);
}

QColor LinkLabel::textColour() const
{
    return palette().color(QPalette::WindowText);
}

void LinkLabel::setColour(QRgb colour)
{
    // The style sheet decides colours once it is set, so the colour goes there too.
    setStyleSheet(u"color: %1; text-decoration: underline;"_s.arg(QColor::fromRgb(colour).name()));
    QPalette p = palette();
    p.setColor(QPalette::WindowText, QColor::fromRgb(colour));
    setPalette(p);
}

void LinkLabel::enterEvent(QEnterEvent *event)
{
    setColour(kHover);
    QLabel::enterEvent(event);
}

void LinkLabel::leaveEvent(QEvent *event)
{
    setColour(kNormal);
    QLabel::leaveEvent(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT activated(m_url);
}

void LinkLabel::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space) {
        Q_EMIT activated(m_url);
        return;
    }
    QLabel::keyPressEvent(event);
}
