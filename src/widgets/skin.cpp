#include "widgets/skin.h"

#include <QApplication>
#include <QFile>
#include <QIconEngine>
#include <QPainter>
#include <QStyleFactory>

using namespace Qt::StringLiterals;

namespace Skin {

namespace {

// Draws the disabled look as the normal picture, faded. The style's own disabled look turns
// a picture grey, which leaves our white header symbols as bright as enabled ones.
class FadedDisabledEngine : public QIconEngine
{
public:
    explicit FadedDisabledEngine(const QIcon &base)
        : m_base(base)
    { }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        painter->save();
        if (mode == QIcon::Disabled)
            painter->setOpacity(painter->opacity() * 0.4);
        m_base.paint(painter, rect, Qt::AlignCenter, QIcon::Normal, state);
        painter->restore();
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        QPixmap pixmap(size * scale);
        pixmap.fill(Qt::transparent);
        {
            QPainter painter(&pixmap);
            paint(&painter, QRect(QPoint(0, 0), pixmap.size()), mode, state);
        }
        pixmap.setDevicePixelRatio(scale);
        return pixmap;
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine *clone() const override { return new FadedDisabledEngine(m_base); }

private:
    QIcon m_base;
};

} // namespace

QIcon icon(const QString &programFolder, QStringView name)
{
    const QString path = programFolder + u"/icons/"_s + name + u".svg"_s;
    if (!QFile::exists(path))
        return {};
    return QIcon(new FadedDisabledEngine(QIcon(path)));
}

QString styleSheet()
{
    return uR"(
* { font-family: "DejaVu Sans"; font-size: 12px; color: #24364b; }
QLabel { background: transparent; }
QLabel#appLabel { color: #ffffff; font-size: 14px; font-weight: bold; }
QLabel[toolCaption="true"] { color: #ffffff; font-size: 11px; }
QLabel#videoNamelabel { font-weight: bold; }
QLabel#pretimeLabel { font-family: "DejaVu Sans Mono"; color: #4a5d74; }
QLabel#moveEdit { background: #24364b; color: #ffffff; border-radius: 3px; padding: 1px 3px; }
QLabel#progressEdit { color: #5b6f87; }

QToolButton#minBtn, QToolButton#closeBtn { border: none; border-radius: 5px; background: transparent; }
QToolButton#minBtn:hover { background: rgba(255, 255, 255, 0.18); }
QToolButton#closeBtn:hover { background: #d9534f; }

QToolButton[toolButton="true"] { border: 1px solid transparent; border-radius: 8px; background: transparent;
    padding-bottom: 18px; }
QToolButton[toolButton="true"]:hover { background: rgba(255, 255, 255, 0.14); border-color: rgba(255, 255, 255, 0.22); }
QToolButton[toolButton="true"]:pressed { background: rgba(0, 0, 0, 0.18); }
QToolButton[toolButton="true"]:disabled { background: transparent; border-color: transparent; }
QLabel[toolCaption="true"]:disabled { color: rgba(255, 255, 255, 0.4); }
QFrame[separator="true"] { background: rgba(255, 255, 255, 0.25); border: none; }

QPushButton, QToolButton { background: #ffffff; border: 1px solid #c5d0dd; border-radius: 6px; padding: 3px 8px; }
QPushButton:hover, QToolButton:hover { background: #eaf2fd; border-color: #2f7de1; }
QPushButton:pressed, QToolButton:pressed { background: #d6e6fb; }
QPushButton:disabled, QToolButton:disabled { background: #f3f5f8; border-color: #dde3ea; color: #a4b0bf; }
QPushButton:default { border-color: #2f7de1; }
QToolButton#stopAddBtn { padding: 3px; }

QLineEdit, QComboBox, QPlainTextEdit { background: #ffffff; border: 1px solid #c5d0dd; border-radius: 5px;
    padding: 2px 6px; selection-background-color: #2f7de1; selection-color: #ffffff; }
QPlainTextEdit { font-family: "DejaVu Sans Mono"; font-size: 11px; border-radius: 0; padding: 0; }
QLineEdit:focus, QComboBox:focus { border-color: #2f7de1; }
QComboBox:disabled, QLineEdit:disabled { background: #f3f5f8; color: #a4b0bf; }
QComboBox::drop-down { border: none; width: 20px; }
QComboBox QAbstractItemView { background: #ffffff; border: 1px solid #c5d0dd; selection-background-color: #2f7de1;
    selection-color: #ffffff; outline: none; }

QTreeView#listview { background: #ffffff; border: none; alternate-background-color: #f7f9fc;
    selection-background-color: #2f7de1; selection-color: #ffffff; outline: none; }
QTreeView#listview::item { border-right: 1px solid #e3e8ef; border-bottom: 1px solid #e3e8ef; padding: 2px; }
QTreeView#listview::item:selected { background: #2f7de1; color: #ffffff; }
QHeaderView::section { background: #f1f4f8; border: none; border-right: 1px solid #dde3ea;
    border-bottom: 1px solid #dde3ea; padding: 4px; font-weight: bold; color: #3a4d63; }

QFrame#playpanel { background: #0f1724; border: 1px solid #0f1724; border-radius: 4px; }

QSlider::groove:horizontal { height: 4px; background: #d3dbe6; border-radius: 2px; }
QSlider::sub-page:horizontal { background: #2f7de1; border-radius: 2px; }
QSlider::handle:horizontal { width: 14px; margin: -6px 0; border-radius: 7px; background: #ffffff;
    border: 2px solid #2f7de1; }
QSlider::handle:horizontal:disabled { border-color: #b9c4d2; }
QSlider::sub-page:horizontal:disabled { background: #d3dbe6; }

QProgressBar { background: #e6ebf2; border: none; border-radius: 6px; text-align: center; color: #24364b; }
QProgressBar::chunk { background: #2f7de1; border-radius: 6px; }

QScrollBar:vertical { width: 12px; background: #f1f4f8; margin: 0; }
QScrollBar:horizontal { height: 12px; background: #f1f4f8; margin: 0; }
QScrollBar::handle { background: #c3cdd9; border-radius: 4px; margin: 2px; }
QScrollBar::handle:hover { background: #9fb0c4; }
QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; }
QScrollBar::add-page, QScrollBar::sub-page { background: none; }

QToolTip { background: #24364b; color: #ffffff; border: none; padding: 4px 6px; }
QDialog, QMessageBox { background: #f4f7fb; }
)"_s;
}

void apply(QApplication &application)
{
    application.setStyle(QStyleFactory::create(u"Fusion"_s));
    application.setStyleSheet(styleSheet());
}

} // namespace Skin
