#include "mainwindow/backgroundpanel.h"

#include "platform/windowmove.h"
#include "widgets/skin.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

BackgroundPanel::BackgroundPanel(QWidget *parent)
    : QWidget(parent)
{ }

void BackgroundPanel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), QColor::fromRgb(Skin::kBody));
    QLinearGradient header(0, 0, 0, m_headerHeight);
    header.setColorAt(0, QColor::fromRgb(Skin::kHeaderTop));
    header.setColorAt(1, QColor::fromRgb(Skin::kHeaderBottom));
    p.fillRect(QRect(0, 0, width(), m_headerHeight), header);
    p.setPen(QPen(QColor::fromRgb(Skin::kCardBorder), 1));
    p.setBrush(QColor::fromRgb(Skin::kCard));
    for (const QRect &card : std::as_const(m_cards))
        p.drawRoundedRect(QRectF(card).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
}

void BackgroundPanel::mousePressEvent(QMouseEvent *event)
{
    // Labels and disabled controls pass presses on to us; they are controls all the same.
    if (event->button() != Qt::LeftButton || childAt(event->position().toPoint())) {
        event->ignore();
        return;
    }
    Q_EMIT moveRequested();
    m_manualDrag = !StartSystemMove(window()->windowHandle(), event->globalPosition().toPoint());
    m_grabOffset = event->globalPosition().toPoint() - window()->frameGeometry().topLeft();
    event->accept();
}

void BackgroundPanel::mouseMoveEvent(QMouseEvent *event)
{
    if (m_manualDrag && (event->buttons() & Qt::LeftButton))
        window()->move(event->globalPosition().toPoint() - m_grabOffset);
}

void BackgroundPanel::mouseReleaseEvent(QMouseEvent *)
{
    m_manualDrag = false;
}
