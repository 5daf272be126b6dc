#include "previewwindow.h"

#include <QKeyEvent>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace {

constexpr QStringView kTitle = u"Preview";
constexpr QStringView kCannotPlay = u"This file cannot be played";
// How long a pressed Q waits for its release before the player quits anyway.
constexpr int kQuitReleaseWaitMs = 250;

} // namespace

PreviewWindow::PreviewWindow(QSize size)
    // Never take the focus when shown: the window program is in front and embeds us at once.
    : QWidget(nullptr, Qt::Window | Qt::WindowDoesNotAcceptFocus)
{
    setWindowTitle(kTitle.toString());
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(size);
    m_quitWithoutRelease.setSingleShot(true);
    m_quitWithoutRelease.setInterval(kQuitReleaseWaitMs);
    connect(&m_quitWithoutRelease, &QTimer::timeout, this, &PreviewWindow::quitRequested);
}

void PreviewWindow::showFrame(const QImage &frame, double aspect)
{
    const QRect before = pictureArea();
    m_frame = frame;
    m_aspect = aspect > 0.0 ? aspect : 1.0;
    const QRect after = pictureArea();
    // A picture of another shape leaves parts of the old one to be painted over.
    update(after == before ? after : rect());
}

void PreviewWindow::showSpectrum(const QList<float> &levels)
{
    m_audioPicture.setSpectrum(levels);
    update(m_visibleArea.isValid() ? m_visibleArea : rect());
}

void PreviewWindow::showCannotPlay()
{
    m_cannotPlay = true;
    m_frame = QImage();
    update();
}

void PreviewWindow::setVisibleArea(const QRect &area)
{
    if (area == m_visibleArea)
        return;
    m_visibleArea = area;
    update();
}

QRect PreviewWindow::pictureArea() const
{
    const QRect area = m_visibleArea.isValid() ? m_visibleArea & rect() : rect();
    if (m_frame.isNull() || area.isEmpty())
        return area;
    QSize fitted(int(area.height() * m_aspect), area.height());
    if (fitted.width() > area.width())
        fitted = QSize(area.width(), int(area.width() / m_aspect));
    QRect picture(QPoint(), fitted);
    picture.moveCenter(area.center());
    return picture;
}

void PreviewWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const QRect area = m_visibleArea.isValid() ? m_visibleArea & rect() : rect();
    if (m_cannotPlay) {
        painter.setPen(Qt::white);
        painter.drawText(area.adjusted(4, 4, -4, -4), Qt::AlignCenter | Qt::TextWordWrap, kCannotPlay.toString());
    } else if (!m_frame.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(pictureArea(), m_frame);
    } else {
        m_audioPicture.paint(painter, area);
    }
}

void PreviewWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->isAutoRepeat()) {
        event->accept();
        return;
    }
    switch (event->key()) {
    case Qt::Key_P:
        Q_EMIT pauseToggled();
        break;
    case Qt::Key_Q:
        // Quit once the key is released: the sender's release event must still find the
        // window, or the sender gets an error for a window that is gone.
        m_quitWithoutRelease.start();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void PreviewWindow::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Q && !event->isAutoRepeat() && m_quitWithoutRelease.isActive()) {
        m_quitWithoutRelease.stop();
        Q_EMIT quitRequested();
        event->accept();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void PreviewWindow::mousePressEvent(QMouseEvent *event)
{
    Q_EMIT clicked();
    QWidget::mousePressEvent(event);
}
