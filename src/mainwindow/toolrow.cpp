#include "mainwindow/toolrow.h"

#include "widgets/controlfactory.h"
#include "widgets/skin.h"

#include <QFrame>
#include <QLabel>
#include <QToolButton>

using namespace Qt::StringLiterals;
using namespace ControlFactory;

void ToolRow::build(QWidget *panel, const QString &programFolder)
{
    const auto toolButton = [&](const QString &name, int x, int width, QStringView iconName) {
        auto *b = named(new QToolButton(panel), name);
        b->setProperty("toolButton", true);
        b->setGeometry(x, 40, width, 61);
        b->setIcon(Skin::icon(programFolder, iconName));
        b->setIconSize(QSize(28, 28));
        return b;
    };
    const auto toolCaption
        = [&](const QString &name, const QString &text, int x, QToolButton *owner, const QString &hint = {}) {
              auto *l = label(panel, name, text, QRect(x, 104, 60, 14));
              l->setProperty("toolCaption", true);
              l->adjustSize();
              // The caption names its button; pressing the caption presses the button.
              l->setAttribute(Qt::WA_TransparentForMouseEvents);
              if (!hint.isEmpty()) {
                  l->setToolTip(hint);
                  owner->setToolTip(hint);
                  owner->setAccessibleDescription(hint);
              }
              owner->setAccessibleName(text);
              return l;
          };
    addButton = toolButton(u"addButton"_s, 14, 63, u"add");
    trimBtn = toolButton(u"trimBtn"_s, 90, 63, u"trim");
    trimBtn->setEnabled(false);
    effectBtn = toolButton(u"effectBtn"_s, 166, 63, u"effect");
    effectBtn->setEnabled(false);
    aboutBtn = toolButton(u"aboutBtn"_s, 242, 63, u"about");
    helpBtn = toolButton(u"helpBtn"_s, 307, 60, u"help");
    addLabel = toolCaption(u"addLabel"_s, u"Add"_s, 34, addButton, u"add  movies"_s);
    trimLabel = toolCaption(u"trimLabel"_s, u"Trim"_s, 110, trimBtn, u"select  start time  and end  time"_s);
    effectLabel = toolCaption(u"effectLabel"_s, u"Effect"_s, 186, effectBtn);
    aboutLabel = toolCaption(u"aboutLabel"_s, u"About"_s, 262, aboutBtn);
    helpLabel = toolCaption(u"helpLabel"_s, u"Help"_s, 327, helpBtn, u"what can I help you?"_s);
    const int separatorX[3] = { 83, 159, 235 };
    for (int i = 0; i < 3; ++i) {
        auto *separator = named(new QFrame(panel), u"separator%1"_s.arg(i + 1), {}, u"separator"_s);
        separator->setProperty("separator", true);
        separator->setGeometry(separatorX[i], 50, 1, 41);
        separator->setAttribute(Qt::WA_TransparentForMouseEvents);
        toolSeparators[i] = separator;
    }
}

void ToolRow::putCaptionsOnButtons()
{
    const std::pair<QLabel *, QToolButton *> captions[] = {
        { addLabel, addButton },
        { trimLabel, trimBtn },
        { effectLabel, effectBtn },
        { aboutLabel, aboutBtn },
        { helpLabel, helpBtn },
    };
    for (const auto &[caption, button] : captions) {
        caption->setParent(button);
        caption->move(20, 42);
        caption->show();
        caption->raise();
    }
}

void ToolRow::setRowToolsEnabled(bool enabled)
{
    trimBtn->setEnabled(enabled);
    effectBtn->setEnabled(enabled);
}
