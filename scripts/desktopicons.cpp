// Renders the program's logo into the PNG sizes of the hicolor icon theme (see
// make-desktop-icons.sh).
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 3)
        return 2;
    QSvgRenderer logo(QString::fromLocal8Bit(argv[1]));
    if (!logo.isValid())
        return 1;
    for (const int size : { 16, 22, 24, 32, 48, 64, 128, 256 }) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        logo.render(&painter);
        painter.end();
        if (!image.save(QString::fromLocal8Bit(argv[2]) + u'/' + QString::number(size) + u".png"_s))
            return 1;
    }
    return 0;
}
