#include "mainwindow/aboutbox.h"

#include "core/programtexts.h"
#include "mainwindow/linklabel.h"
#include "platform/desktopservices.h"
#include "widgets/controlfactory.h"
#include "widgets/skin.h"

#include <QLabel>
#include <QToolButton>

using namespace Qt::StringLiterals;
using namespace ControlFactory;

QString TaboutFrm::licenceLine()
{
    return u"Free software under the "_s + kLicenceName.toString();
}

TaboutFrm::TaboutFrm(const QString &programFolder, DesktopServices &desktop, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(u"aboutFrm"_s);
    setWindowTitle(kCaption.toString());
    setFixedSize(444, 345);

    const Qt::Alignment centred = Qt::AlignCenter;
    m_ui.logoLabel
        = placed(new QLabel(this), u"pictureLabel"_s, QRect(182, 36, 80, 80), {}, kVersionLine.trimmed().toString());
    m_ui.logoLabel->setAlignment(centred);
    m_ui.logoLabel->setPixmap(Skin::icon(programFolder, u"logo").pixmap(QSize(80, 80)));
    m_ui.versionLabel = label(this, u"versionLabel"_s, kVersionLine.toString(), QRect(20, 136, 404, 24), centred);
    m_ui.versionLabel->setStyleSheet(u"font-size: 14px; font-weight: bold;"_s);
    m_ui.licenceLabel = label(this, u"licenceLabel"_s, licenceLine(), QRect(20, 160, 404, 20), centred);
    m_ui.licenceLabel->setStyleSheet(u"font-size: 11px;"_s);

    // The two links lead to the documentation shipped in the program folder.
    const QString doc = programFolder + u"/doc/"_s;
    m_ui.supportLink = placed(new LinkLabel(u"Support:"_s, QUrl::fromLocalFile(doc + u"support.html"_s), this),
        u"supportLabel"_s, QRect(150, 186, 144, 22));
    m_ui.homepageLink = placed(new LinkLabel(u"Homepage:"_s, QUrl::fromLocalFile(doc + u"index.html"_s), this),
        u"homepageLabel"_s, QRect(150, 216, 144, 22));
    for (LinkLabel *link : { m_ui.supportLink, m_ui.homepageLink }) {
        link->setAlignment(centred);
        connect(link, &LinkLabel::activated, this, [&desktop](const QUrl &url) { desktop.open(url); });
    }

    m_ui.closeButton
        = imageButton(this, u"okBtn"_s, u"Close"_s, QRect(192, 280, 60, 40), Skin::icon(programFolder, u"check"));
    m_ui.closeButton->setIconSize(QSize(22, 22));
    connect(m_ui.closeButton, &QToolButton::clicked, this, &QDialog::accept);
}
