#pragma once

// The order Tab moves through a window's controls, by object name (header only, for widget
// tests). Hidden controls keep their place in it.

#include <QStringList>
#include <QWidget>

namespace FocusChain {

inline QStringList tabOrder(QWidget *window)
{
    QStringList names;
    for (QWidget *widget = window->nextInFocusChain(); widget && widget != window;
         widget = widget->nextInFocusChain()) {
        if (widget->focusPolicy() & Qt::TabFocus)
            names << widget->objectName();
    }
    return names;
}

} // namespace FocusChain
