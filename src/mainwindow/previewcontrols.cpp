#include "mainwindow/previewcontrols.h"

#include "widgets/controlfactory.h"
#include "widgets/skin.h"

#include <QFrame>
#include <QLabel>
#include <QSlider>
#include <QToolButton>

using namespace Qt::StringLiterals;
using namespace ControlFactory;

void PreviewControls::build(QWidget *panel, const QString &programFolder)
{
    const auto icon = [&programFolder](QStringView name) { return Skin::icon(programFolder, name); };

    videoNamelabel = label(panel, u"videoNamelabel"_s, u"Preview the source file"_s, QRect(520, 122, 257, 20));
    videoNamelabel->setAlignment(Qt::AlignCenter);
    playpanel = named(new QFrame(panel), u"playpanel"_s, {}, u"Preview"_s);
    playpanel->setGeometry(517, 146, 263, 196);
    TrackBar1 = named(new QSlider(Qt::Horizontal, panel), u"TrackBar1"_s, {}, u"Preview position"_s);
    TrackBar1->setGeometry(517, 350, 263, 22);
    TrackBar1->setRange(0, 100);
    TrackBar1->setValue(0);
    TrackBar1->setPageStep(10);
    TrackBar1->setEnabled(false);
    moveEdit = label(panel, u"moveEdit"_s, u"00:00:00"_s, QRect(517, 330, 60, 18));
    moveEdit->hide();
    previewBtn = imageButton(panel, u"previewBtn"_s, u"Play"_s, QRect(520, 384, 36, 32), icon(u"play"));
    previewBtn->setEnabled(false);
    pauseBtn = imageButton(panel, u"pauseBtn"_s, u"Pause"_s, previewBtn->geometry(), icon(u"pause"));
    pauseBtn->setEnabled(false);
    pauseBtn->hide(); // Play and Pause share their place; one shows at a time
    stopBtn = imageButton(panel, u"stopBtn"_s, u"Stop"_s, QRect(562, 384, 36, 32), icon(u"stop"));
    stopBtn->setEnabled(false);
    pretimeLabel = label(panel, u"pretimeLabel"_s, u"00:00:00 / 00:00:00"_s, QRect(606, 384, 172, 32));
    pretimeLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}
