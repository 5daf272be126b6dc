#pragma once

#include "core/programversion.h"

#include <QDialog>

class DesktopServices;
class LinkLabel;
class QLabel;
class QToolButton;

// The about box's controls. Their object names are the form's (pictureLabel, supportLabel,
// okBtn, ...).
struct AboutControls
{
    QLabel *logoLabel = nullptr;
    QLabel *versionLabel = nullptr;
    QLabel *licenceLabel = nullptr;
    LinkLabel *supportLink = nullptr;
    LinkLabel *homepageLink = nullptr;
    QToolButton *closeButton = nullptr;
};

// The about box: the program's name, version and licence, and two links to the documentation that
// ships with the program, opened in the desktop's browser.
class TaboutFrm : public QDialog
{
    Q_OBJECT

public:
    TaboutFrm(const QString &programFolder, DesktopServices &desktop, QWidget *parent = nullptr);

    const AboutControls &controls() const { return m_ui; }

    static constexpr QStringView kCaption = u"About - TOLM Audio Converter";
    static constexpr QStringView kVersionLine = u"TOLM Audio Converter Version " TOLM_PROGRAM_VERSION " ";
    static QString licenceLine();

private:
    AboutControls m_ui;
};
