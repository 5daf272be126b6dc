#include "widgets/controlfactory.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

namespace ControlFactory {

QString captionName(const QLabel *caption)
{
    const QString text = caption->text().simplified();
    return (text.endsWith(u':') ? text.chopped(1) : text).trimmed();
}

void setBuddy(QLabel *caption, QWidget *field)
{
    caption->setBuddy(field);
}

QLabel *label(
    QWidget *parent, const QString &objectName, const QString &text, const QRect &geometry, Qt::Alignment alignment)
{
    auto *l = placed(new QLabel(text, parent), objectName, geometry, {}, text.simplified());
    l->setAlignment(alignment);
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
    auto *c = field(new QComboBox(parent), objectName, geometry, caption);
    c->addItems(items);
    c->setCurrentIndex(selected);
    return c;
}

} // namespace ControlFactory
