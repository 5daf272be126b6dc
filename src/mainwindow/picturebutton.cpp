#include "mainwindow/picturebutton.h"

#include <QFileInfo>
#include <QPainter>

PictureButton::PictureButton(QWidget *parent)
    : QAbstractButton(parent)
{
    setCursor(Qt::PointingHandCursor);
}

bool PictureButton::loadDisabledPicture(const QString &path)
{
    m_disabledPath = path;
    m_disabledPicture = QFileInfo(path).isFile() ? QIcon(path) : QIcon();
    update();
    return !m_disabledPicture.isNull();
}

void PictureButton::enterEvent(QEnterEvent *event)
{
    m_hover = true;
    update();
    QAbstractButton::enterEvent(event);
}

void PictureButton::leaveEvent(QEvent *event)
{
    m_hover = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void PictureButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled() && !m_disabledPicture.isNull()) {
        m_disabledPicture.paint(&p, rect());
        return;
    }
    QColor top(0x3b, 0x8e, 0xf0);
    QColor bottom(0x1f, 0x62, 0xc4);
    if (!isEnabled()) {
        top = QColor(0xe3, 0xe8, 0xee);
        bottom = QColor(0xd3, 0xdb, 0xe4);
    } else if (isDown()) {
        top = top.darker(115);
        bottom = bottom.darker(115);
    } else if (m_hover) {
        top = top.lighter(110);
        bottom = bottom.lighter(110);
    }
    QLinearGradient face(0, 0, 0, height());
    face.setColorAt(0, top);
    face.setColorAt(1, bottom);
    p.setPen(Qt::NoPen);
    p.setBrush(face);
    p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 12, 12);
    const int side = qMin(width(), height()) / 2;
    const QRect symbolRect(QPoint(0, 0), QSize(side, side));
    m_symbol.paint(&p, symbolRect.translated(rect().center() - symbolRect.center()), Qt::AlignCenter,
        isEnabled() ? QIcon::Normal : QIcon::Disabled);
    if (hasFocus()) {
        p.setPen(QPen(QColor(255, 255, 255, 160), 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(rect()).adjusted(4, 4, -4, -4), 9, 9);
    }
}
