#include "playback/selectiontrackbar.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

namespace {
constexpr int kBandHeight = 4;
}

SelectionTrackBar::SelectionTrackBar(QWidget *parent)
    : QSlider(Qt::Horizontal, parent)
{
    setTickPosition(QSlider::NoTicks);
}

void SelectionTrackBar::setSelectionStart(int value)
{
    m_selectionStart = value;
    update();
}

void SelectionTrackBar::setSelectionEnd(int value)
{
    m_selectionEnd = value;
    update();
}

void SelectionTrackBar::paintEvent(QPaintEvent *event)
{
    QSlider::paintEvent(event);
    if (m_selectionEnd < m_selectionStart || maximum() <= minimum())
        return;
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    // The handle's centre travels from half a handle in to half a handle before the end.
    const int span = groove.width() - handle.width();
    const auto xOf = [&](int value) {
        return groove.x() + handle.width() / 2
            + QStyle::sliderPositionFromValue(minimum(), maximum(), value, span, option.upsideDown);
    };
    QPainter painter(this);
    const QRect band(QPoint(xOf(m_selectionStart), groove.bottom() + 2),
        QPoint(xOf(m_selectionEnd), groove.bottom() + 1 + kBandHeight));
    painter.fillRect(band, palette().color(QPalette::Highlight));
}
