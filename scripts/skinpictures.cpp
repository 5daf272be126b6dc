// Draws the start button's two disabled pictures (see make-skin-pictures.sh).
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

void drawFace(QPainter &p)
{
    QLinearGradient gradient(0, 0, 0, 98);
    gradient.setColorAt(0, QColor(0xe9, 0xed, 0xf2));
    gradient.setColorAt(1, QColor(0xd5, 0xdc, 0xe5));
    p.fillRect(QRectF(0, 0, 172, 98), Qt::white);
    p.setPen(QPen(QColor(0xc3, 0xcc, 0xd8), 1.5));
    p.setBrush(gradient);
    p.drawRoundedRect(QRectF(1, 1, 170, 96), 12, 12);
}

void drawTriangle(QPainter &p, const QColor &colour)
{
    QPainterPath triangle;
    triangle.moveTo(80, 37);
    triangle.lineTo(98, 49);
    triangle.lineTo(80, 61);
    triangle.closeSubpath();
    p.setPen(QPen(colour, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(colour);
    p.drawPath(triangle);
}

QImage picture(bool converting, int scale)
{
    QImage image(172 * scale, 98 * scale, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    drawFace(p);
    const QColor grey(0x9a, 0xa7, 0xb8);
    drawTriangle(p, grey);
    if (!converting) {
        p.setPen(QPen(grey, 3));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(86, 49), 26, 26);
        return image;
    }
    // A ring of dots, brighter toward the top, as if turning.
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 8; ++i) {
        const double angle = i * M_PI / 4;
        QColor dot(0x2f, 0x7d, 0xe1);
        dot.setAlphaF(0.25 + i * 0.1);
        p.setBrush(dot);
        p.drawEllipse(QPointF(86 + 30 * std::sin(angle), 49 - 30 * std::cos(angle)), 3.6, 3.6);
    }
    return image;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (const bool converting : { false, true }) {
        const QString name = converting ? u"start-e"_s : u"start-a"_s;
        if (!picture(converting, 1).save(folder + u'/' + name + u".bmp"_s, "BMP")
            || !picture(converting, 2).save(folder + u'/' + name + u"@2x.bmp"_s, "BMP"))
            return 1;
    }
    return 0;
}
