#include "mainwindow/mainwindowcontrols.h"

#include "core/programtexts.h"
#include "mainwindow/backgroundpanel.h"
#include "widgets/controlfactory.h"
#include "widgets/skin.h"

#include <QLabel>
#include <QToolButton>

using namespace Qt::StringLiterals;
using namespace ControlFactory;

void MainWindowControls::build(QWidget *form, const QString &programFolder)
{
    suiImagePanel1 = new BackgroundPanel(form);
    suiImagePanel1->setObjectName(u"suiImagePanel1"_s);
    suiImagePanel1->setAccessibleName(kApplicationTitle.toString());
    suiImagePanel1->setGeometry(0, 0, 795, 562);
    suiImagePanel1->setHeaderHeight(108);
    suiImagePanel1->setCards({ QRect(10, 116, 494, 310), QRect(512, 116, 273, 310), QRect(10, 434, 775, 118) });
    QWidget *panel = suiImagePanel1;

    appIcon = named(new QLabel(panel), u"appIcon"_s, {}, kApplicationTitle.toString());
    appIcon->setGeometry(14, 7, 22, 22);
    appIcon->setPixmap(Skin::icon(programFolder, u"logo").pixmap(QSize(22, 22)));
    appIcon->setAttribute(Qt::WA_TransparentForMouseEvents);
    appLabel = label(panel, u"appLabel"_s, kApplicationTitle.toString(), QRect(44, 7, 300, 22));
    appLabel->hide(); // start-up shows it
    minBtn = named(new QToolButton(panel), u"minBtn"_s, {}, u"Minimise"_s);
    minBtn->setGeometry(729, 6, 28, 24);
    minBtn->setIcon(Skin::icon(programFolder, u"minimize"));
    closeBtn = named(new QToolButton(panel), u"closeBtn"_s, {}, u"Close"_s);
    closeBtn->setGeometry(761, 6, 28, 24);
    closeBtn->setIcon(Skin::icon(programFolder, u"close"));

    tools.build(panel, programFolder);
    list.build(panel, programFolder);
    preview.build(panel, programFolder);
    output.build(panel, programFolder);
}
