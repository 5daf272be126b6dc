#include "widgets/controlfactory.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

namespace ControlFactory {

QLabel *label(QWidget *parent, const QString &objectName, const QString &text, const QRect &geometry)
{
    auto *l = named(new QLabel(text, parent), objectName, {}, text.simplified());
    l->setGeometry(geometry);
    return l;
}

QPushButton *button(QWidget *parent, const QString &objectName, const QString &caption, const QRect &geometry,
    const QIcon &icon, const QString &hint)
{
    auto *b = named(new QPushButton(caption, parent), objectName, hint, caption.trimmed());
    b->setGeometry(geometry);
    b->setIcon(icon);
    b->setIconSize(QSize(16, 16));
    return b;
}

QToolButton *imageButton(
    QWidget *parent, const QString &objectName, const QString &hint, const QRect &geometry, const QIcon &icon)
{
    auto *b = named(new QToolButton(parent), objectName, hint);
    b->setGeometry(geometry);
    b->setIcon(icon);
    b->setIconSize(QSize(18, 18));
    b->setAutoRaise(false);
    return b;
}

QComboBox *chooser(QWidget *parent, const QString &objectName, const QStringList &items, int selected,
    const QRect &geometry, QLabel *caption)
{
    auto *c = named(new QComboBox(parent), objectName, {}, caption->text().simplified().chopped(1).trimmed());
    c->addItems(items);
    c->setCurrentIndex(selected);
    c->setGeometry(geometry);
    caption->setBuddy(c);
    return c;
}

} // namespace ControlFactory
