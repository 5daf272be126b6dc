#include "mainwindow/aboutbox.h"

#include "mainwindow/linklabel.h"
#include "platform/desktopservices.h"
#include "widgets/skin.h"

#include <QLabel>
#include <QToolButton>

using namespace Qt::StringLiterals;

TaboutFrm::TaboutFrm(const QString &programFolder, DesktopServices &desktop, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(u"aboutFrm"_s);
    setWindowTitle(kCaption.toString());
    setFixedSize(444, 345);

    pictureLabel = new QLabel(this);
    pictureLabel->setObjectName(u"pictureLabel"_s);
    pictureLabel->setGeometry(182, 36, 80, 80);
    pictureLabel->setAlignment(Qt::AlignCenter);
    pictureLabel->setPixmap(Skin::icon(programFolder, u"logo").pixmap(QSize(80, 80)));
    pictureLabel->setAccessibleName(kVersionLine.trimmed().toString());

    versionLabel = new QLabel(kVersionLine.toString(), this);
    versionLabel->setObjectName(u"versionLabel"_s);
    versionLabel->setGeometry(20, 136, 404, 24);
    versionLabel->setAlignment(Qt::AlignCenter);
    versionLabel->setStyleSheet(u"font-size: 14px; font-weight: bold;"_s);
    versionLabel->setAccessibleName(versionLabel->text());

    // The two links lead to the documentation shipped in the program folder.
    const QString doc = programFolder + u"/doc/"_s;
    supportLabel = new LinkLabel(u"Support:"_s, QUrl::fromLocalFile(doc + u"support.html"_s), this);
    supportLabel->setObjectName(u"supportLabel"_s);
    supportLabel->setGeometry(150, 186, 144, 22);
    supportLabel->setAlignment(Qt::AlignCenter);
    homepageLabel = new LinkLabel(u"Homepage:"_s, QUrl::fromLocalFile(doc + u"index.html"_s), this);
    homepageLabel->setObjectName(u"homepageLabel"_s);
    homepageLabel->setGeometry(150, 216, 144, 22);
    homepageLabel->setAlignment(Qt::AlignCenter);
    for (LinkLabel *link : { supportLabel, homepageLabel })
        connect(link, &LinkLabel::activated, this, [&desktop](const QUrl &url) { desktop.open(url); });

    okBtn = new QToolButton(this);
    okBtn->setObjectName(u"okBtn"_s);
    okBtn->setGeometry(192, 280, 60, 40);
    okBtn->setIcon(Skin::icon(programFolder, u"check"));
    okBtn->setIconSize(QSize(22, 22));
    okBtn->setToolTip(u"Close"_s);
    okBtn->setAccessibleName(u"Close"_s);
    connect(okBtn, &QToolButton::clicked, this, &QDialog::accept);
}
