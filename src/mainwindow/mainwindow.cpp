#include "mainwindow/mainwindow.h"

#include "engine/logwindow.h"
#include "mainwindow/aboutbox.h"
#include "mainwindow/filedroptarget.h"
#include "mainwindow/helpcommand.h"
#include "platform/placement.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainterPath>
#include <QRegion>
#include <QToolButton>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

TForm1::TForm1(const MainWindowServices &services, const StartupEnvironment &environment, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , m_services(services)
{
    setObjectName(u"Form1"_s);
    setWindowTitle(kTitle.toString());
    setAccessibleName(kTitle.toString());
    setFixedSize(kClientSize);
    move(kDesignedPosition);
    m_ui.build(this, environment.programFolder);

    // Creation steps, in the order the rest of the program relies on.
    registerDropTargets();
    m_ui.appLabel->show();
    // Child processes get their output channels when they start; nothing to prepare here.
    m_ui.addButton->setEnabled(true);
    shapeWindow();
    putCaptionsOnButtons();
    m_state = PrepareProgramState(environment, m_services.dialogs);
    applyProgramState();

    connect(m_ui.minBtn, &QToolButton::clicked, this, &TForm1::minBtnClick);
    connect(m_ui.closeBtn, &QToolButton::clicked, this, &TForm1::closeBtnClick);
    connect(m_ui.helpBtn, &QToolButton::clicked, this, &TForm1::helpBtnClick);
    connect(m_ui.aboutBtn, &QToolButton::clicked, this, &TForm1::aboutBtnClick);
    connect(m_ui.logBtn, &QToolButton::clicked, this, &TForm1::logBtnClick);
}

TForm1::~TForm1() = default;

void TForm1::registerDropTargets()
{
    m_dropTarget = new FileDropTarget(this);
    m_dropTarget->watch(m_ui.listview);
    m_dropTarget->watch(m_ui.listPanel);
    connect(m_dropTarget, &FileDropTarget::filesDropped, this, &TForm1::filesDropped);
}

void TForm1::shapeWindow()
{
    QPainterPath outline;
    outline.addRoundedRect(QRectF(0, 0, width(), height()), kCornerDiameter / 2.0, kCornerDiameter / 2.0);
    setMask(QRegion(outline.toFillPolygon().toPolygon()));
}

void TForm1::putCaptionsOnButtons()
{
    const std::pair<QLabel *, QToolButton *> captions[] = {
        { m_ui.addLabel, m_ui.addButton },
        { m_ui.trimLabel, m_ui.trimBtn },
        { m_ui.effectLabel, m_ui.effectBtn },
        { m_ui.aboutLabel, m_ui.aboutBtn },
        { m_ui.helpLabel, m_ui.helpBtn },
    };
    for (const auto &[caption, button] : captions) {
        caption->setParent(button);
        caption->move(20, 42);
        caption->show();
        caption->raise();
    }
}

void TForm1::applyProgramState()
{
    m_ui.profileBox->addItems(m_state.userProfileNames);
    m_ui.profileBox->setCurrentIndex(0);
    m_ui.pathdir->setText(m_state.initialDestination);
}

void TForm1::restoreRequest()
{
    if (isMinimized()) {
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        show();
    }
    raise();
    activateWindow();
}

void TForm1::minBtnClick()
{
    showMinimized();
}

void TForm1::closeBtnClick()
{
    close();
}

void TForm1::helpBtnClick()
{
    ShowHelp(this, m_state.programFolder, m_services.dialogs, m_services.desktop);
}

void TForm1::aboutBtnClick()
{
    if (!m_aboutFrm)
        m_aboutFrm = new TaboutFrm(m_state.programFolder, m_services.desktop, this);
    m_aboutFrm->move(Placement::modalTopLeft(frameGeometry(), m_aboutFrm->width()));
    m_aboutFrm->exec();
}

void TForm1::logBtnClick()
{
    if (m_logFrm)
        m_logFrm->toggle();
}
