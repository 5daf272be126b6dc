#pragma once

#include <QIcon>
#include <QRect>
#include <QString>
#include <QStringList>

class QComboBox;
class QLabel;
class QPushButton;
class QToolButton;
class QWidget;

// How every control of the program's windows is made: named, with the name assistive tools
// read (its caption, or its hint when it has none), at its fixed place.
namespace ControlFactory {

template <typename Widget>
Widget *named(Widget *widget, const QString &objectName, const QString &hint = {}, const QString &spokenName = {})
{
    widget->setObjectName(objectName);
    if (!hint.isEmpty())
        widget->setToolTip(hint);
    // A control without either keeps the name it has (a link's is its text).
    if (!hint.isEmpty() || !spokenName.isEmpty())
        widget->setAccessibleName(spokenName.isEmpty() ? hint : spokenName);
    if (!hint.isEmpty() && !spokenName.isEmpty())
        widget->setAccessibleDescription(hint);
    return widget;
}

// A control of any kind, named as above and put at its place.
template <typename Widget>
Widget *placed(Widget *widget, const QString &objectName, const QRect &geometry, const QString &hint = {},
    const QString &spokenName = {})
{
    named(widget, objectName, hint, spokenName);
    widget->setGeometry(geometry);
    return widget;
}

// What a field is called after its caption label: the caption without its closing colon.
QString captionName(const QLabel *caption);
// Out of line, so the templates here need only QLabel's declaration.
void setBuddy(QLabel *caption, QWidget *field);

// A field named after its caption label, which becomes its buddy.
template <typename Widget>
Widget *field(Widget *widget, const QString &objectName, const QRect &geometry, QLabel *caption)
{
    placed(widget, objectName, geometry, {}, captionName(caption));
    setBuddy(caption, widget);
    return widget;
}

QLabel *label(QWidget *parent, const QString &objectName, const QString &text, const QRect &geometry,
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);
QPushButton *button(QWidget *parent, const QString &objectName, const QString &caption, const QRect &geometry,
    const QIcon &icon = {}, const QString &hint = {});
QToolButton *imageButton(
    QWidget *parent, const QString &objectName, const QString &hint, const QRect &geometry, const QIcon &icon);
// A drop-down list named after its caption label, which becomes its buddy.
QComboBox *chooser(QWidget *parent, const QString &objectName, const QStringList &items, int selected,
    const QRect &geometry, QLabel *caption);

} // namespace ControlFactory
