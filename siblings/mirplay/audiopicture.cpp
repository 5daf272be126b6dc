#include "audiopicture.h"

#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kBars = 24;
// The lowest band holds the steady part of the sound; start one band above it.
constexpr int kFirstBand = 1;

} // namespace

void AudioPicture::setSpectrum(const QList<float> &levels)
{
    const auto bands = int(levels.size());
    if (bands <= kFirstBand + kBars)
        return;
    m_bars.resize(kBars);
    // Bar i covers the bands between two points of a geometric series, so each bar spans
    // the same musical interval; every bar gets at least one band.
    const double ratio = std::pow(double(bands) / kFirstBand, 1.0 / kBars);
    int from = kFirstBand;
    for (int i = 0; i < kBars; ++i) {
        const int to = std::clamp(int(std::lround(kFirstBand * std::pow(ratio, i + 1))), from + 1, bands);
        m_bars[i] = *std::max_element(levels.begin() + from, levels.begin() + to);
        from = std::min(to, bands - 1);
    }
}

void AudioPicture::paint(QPainter &painter, const QRect &area) const
{
    if (m_bars.isEmpty() || area.isEmpty())
        return;
    const int margin = std::max(2, area.height() / 20);
    const QRect inner = area.adjusted(margin, margin, -margin, -margin);
    QLinearGradient gradient(inner.bottomLeft(), inner.topLeft());
    gradient.setColorAt(0.0, QColor(40, 160, 90));
    gradient.setColorAt(0.7, QColor(230, 200, 40));
    gradient.setColorAt(1.0, QColor(230, 70, 40));
    const double slot = double(inner.width()) / kBars;
    const int gap = slot >= 6 ? 2 : 1;
    for (int i = 0; i < int(m_bars.size()); ++i) {
        const int height = int(std::lround(m_bars[i] * inner.height()));
        if (height <= 0)
            continue;
        const int left = inner.left() + int(std::lround(i * slot));
        const int right = inner.left() + int(std::lround((i + 1) * slot)) - gap;
        painter.fillRect(QRect(QPoint(left, inner.bottom() - height + 1), QPoint(right, inner.bottom())), gradient);
    }
}
