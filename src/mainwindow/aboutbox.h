#pragma once

#include <QDialog>

class DesktopServices;
class LinkLabel;
class QLabel;
class QToolButton;

// The about box: the program's name and version, and two links to the documentation that
// ships with the program, opened in the desktop's browser.
class TaboutFrm : public QDialog
{
    Q_OBJECT

public:
    TaboutFrm(const QString &programFolder, DesktopServices &desktop, QWidget *parent = nullptr);

    QLabel *pictureLabel = nullptr;
    QLabel *versionLabel = nullptr;
    LinkLabel *supportLabel = nullptr;
    LinkLabel *homepageLabel = nullptr;
    QToolButton *okBtn = nullptr;

    static constexpr QStringView kCaption = u"About - TOLM Audio Converter";
    static constexpr QStringView kVersionLine = u"TOLM Audio Converter Version 2.58.12 ";
};
