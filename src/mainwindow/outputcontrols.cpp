#include "mainwindow/outputcontrols.h"

#include "mainwindow/picturebutton.h"
#include "profiles/profilecatalogue.h"
#include "widgets/controlfactory.h"
#include "widgets/skin.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QToolButton>

using namespace Qt::StringLiterals;
using namespace ControlFactory;

void OutputControls::build(QWidget *panel, const QString &programFolder)
{
    const auto icon = [&programFolder](QStringView name) { return Skin::icon(programFolder, name); };
    const int labelX = 20, labelWidth = 82, fieldX = 106;

    profileLabel = label(panel, u"profileLabel"_s, u"Profile:"_s, QRect(labelX, 444, labelWidth, 28));
    profileBox = chooser(panel, u"profileBox"_s, BuiltInProfileNames(), 0, QRect(fieldX, 444, 286, 28), profileLabel);
    profileBox->setMaxVisibleItems(20);
    profileBox->view()->setMinimumWidth(340); // long profile names show whole in the list
    qualityLabel = label(panel, u"qualityLabel"_s, u"Audio Quality:"_s, QRect(398, 444, 86, 28));
    qualityLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    AQualityBtn = chooser(
        panel, u"AQualityBtn"_s, { u"High"_s, u"Normal"_s, u"Low"_s }, 1, QRect(488, 444, 82, 28), qualityLabel);
    settingBtn = imageButton(
        panel, u"settingBtn"_s, u"Advanced Profile Settings"_s, QRect(574, 444, 30, 28), icon(u"settings"));

    destinationLabel = label(panel, u"destinationLabel"_s, u"Destination:"_s, QRect(labelX, 478, labelWidth, 28));
    pathdir = named(new QLineEdit(panel), u"pathdir"_s, {}, u"Destination"_s);
    pathdir->setGeometry(fieldX, 478, 306, 28);
    destinationLabel->setBuddy(pathdir);
    browseBtn = button(panel, u"browseBtn"_s, u"Browse"_s, QRect(418, 478, 90, 28), icon(u"browse"));
    OpenBtn = button(panel, u"OpenBtn"_s, u"Open"_s, QRect(514, 478, 90, 28), icon(u"open"), u"Browse  Output Files"_s);

    afterDoneLabel = label(panel, u"afterDoneLabel"_s, u"After  Done :"_s, QRect(labelX, 512, labelWidth, 28));
    afterDoneBox = chooser(panel, u"afterDoneBox"_s,
        { u"No Action"_s, u"Browse Output"_s, u"Turn Off"_s, u"Hibernate"_s, u"Stand By"_s }, 0,
        QRect(fieldX, 512, 120, 28), afterDoneLabel);
    QStringList counts;
    for (int count = 1; count <= qMax(1, QThread::idealThreadCount()); ++count)
        counts << u"%1 at once"_s.arg(count);
    simultaneousBox = named(
        new QComboBox(panel), u"simultaneousBox"_s, u"Simultaneous conversions"_s, u"Simultaneous conversions"_s);
    simultaneousBox->addItems(counts);
    simultaneousBox->setGeometry(230, 512, 98, 28);
    ProgressBar1 = named(new QProgressBar(panel), u"ProgressBar1"_s, {}, u"Progress"_s);
    ProgressBar1->setGeometry(334, 514, 232, 24);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    progressEdit = label(panel, u"progressEdit"_s, u"Please   add   file(s)"_s, ProgressBar1->geometry());
    progressEdit->setAlignment(Qt::AlignCenter);
    progressEdit->raise();
    stopAddBtn = named(new QToolButton(panel), u"stopAddBtn"_s, u"Stop adding"_s, u"Stop adding"_s);
    stopAddBtn->setIcon(icon(u"stop"));
    stopAddBtn->setIconSize(QSize(14, 14));
    stopAddBtn->setAutoRaise(true);
    stopAddBtn->setGeometry(ProgressBar1->geometry().right() - 24, 514, 24, 24);
    stopAddBtn->hide();
    logBtn = imageButton(panel, u"logBtn"_s, u"View Log"_s, QRect(574, 512, 30, 28), icon(u"log"));

    startButton = named(new PictureButton(panel), u"startButton"_s, u"encoder"_s);
    startButton->setGeometry(611, 444, 172, 98);
    startButton->setSymbol(icon(u"start"));
    startButton->loadDisabledPicture(Skin::picturePath(programFolder, Skin::kStartIdlePicture));
    startButton->setEnabled(false);

    Timer1 = new QTimer(panel);
    Timer1->setObjectName(u"Timer1"_s);
    Timer1->setInterval(100);
}

void OutputControls::setQualityChooserPlain(bool plain) const
{
    if (AQualityBtn->isEditable() == plain)
        return;
    const QString shown = AQualityBtn->currentText();
    AQualityBtn->setEditable(plain);
    // The plain style is a text field without the drop-down button, so the word fits.
    AQualityBtn->setStyleSheet(plain ? u"QComboBox::drop-down { width: 0px; border: none; }"_s : QString());
    if (plain) {
        AQualityBtn->lineEdit()->setReadOnly(true);
        AQualityBtn->lineEdit()->setText(shown);
    }
}
