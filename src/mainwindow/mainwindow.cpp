#include "mainwindow/mainwindow.h"

#include "batch/outputchoices.h"
#include "core/previewarea.h"
#include "engine/afterdone.h"
#include "engine/batchnotice.h"
#include "engine/conversionengine.h"
#include "engine/logwindow.h"
#include "engine/sessionguard.h"
#include "mainwindow/aboutbox.h"
#include "mainwindow/addingprogress.h"
#include "mainwindow/filedroptarget.h"
#include "mainwindow/helpcommand.h"
#include "mainwindow/outputchoicesview.h"
#include "mainwindow/picturebutton.h"
#include "mainwindow/queuecontrols.h"
#include "platform/desktopservices.h"
#include "platform/dialogs.h"
#include "platform/inhibitor.h"
#include "platform/notifier.h"
#include "platform/placement.h"
#include "platform/windowembedding.h"
#include "profiles/profilecatalogue.h"
#include "profiles/usersettings.h"
#include "sources/destinationfolder.h"
#include "sources/filelist.h"
#include "sources/profileselection.h"
#include "sources/sourceadder.h"
#include "sources/sourceintake.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QRegion>
#include <QStandardPaths>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace {
constexpr QStringView kAddFilesFilter = u"Flash Video Format(*.flv)|*.flv|Supported Files(*.*)|*.*";
}

// The log window is created after the main window; texts go to it once it is known.
class TForm1::LogForwarder : public LogSink
{
public:
    explicit LogForwarder(const TForm1 &form)
        : m_form(form)
    { }
    void append(const QString &text, View view) override
    {
        if (m_form.m_logFrm)
            m_form.m_logFrm->append(text, view);
    }

private:
    const TForm1 &m_form;
};

TForm1::TForm1(const MainWindowServices &services, const StartupEnvironment &environment, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , m_services(services)
{
    setObjectName(u"Form1"_s);
    setWindowTitle(kApplicationTitle.toString());
    setAccessibleName(kApplicationTitle.toString());
    setFixedSize(kClientSize);
    move(kDesignedPosition);
    m_ui.build(this, environment.programFolder);
    m_choices = std::make_unique<OutputChoices>();
    m_choices->setProfiles(BuiltInProfileNames());
    m_choicesView = std::make_unique<OutputChoicesView>(*m_choices, m_ui.output);

    // Creation steps, in the order the rest of the program relies on.
    registerDropTargets();
    m_ui.appLabel->show();
    // Child processes get their output channels when they start; nothing to prepare here.
    m_ui.tools.addButton->setEnabled(true);
    shapeWindow();
    m_ui.tools.putCaptionsOnButtons();
    m_state = PrepareProgramState(environment, m_services.dialogs);
    applyProgramState();
    createConversionRoad();

    connect(m_ui.minBtn, &QToolButton::clicked, this, &TForm1::minBtnClick);
    connect(m_ui.closeBtn, &QToolButton::clicked, this, &TForm1::closeBtnClick);
    connect(m_ui.tools.helpBtn, &QToolButton::clicked, this, &TForm1::helpBtnClick);
    connect(m_ui.tools.aboutBtn, &QToolButton::clicked, this, &TForm1::aboutBtnClick);
    connect(m_ui.output.logBtn, &QToolButton::clicked, this, &TForm1::logBtnClick);
}

TForm1::~TForm1()
{
    FormDestroy();
}

void TForm1::createConversionRoad()
{
    m_log = std::make_unique<LogForwarder>(*this);
    m_fileList = std::make_unique<FileList>();
    m_ui.list.show(m_fileList.get(), &m_fileList->selection());
    // The first row of an empty list makes the commands that work on rows usable.
    connect(m_fileList.get(), &QAbstractItemModel::rowsInserted, this, &TForm1::enableRowCommands);
    SourcePaths paths { m_state.cataloguePath, m_state.userProfilePath, m_state.initialDestination,
        m_state.defaultOutputFolder };
    m_adder = std::make_unique<SourceAdder>(*m_fileList, *m_choices, m_services.dialogs, *m_log, paths, this);
    m_intake = std::make_unique<SourceIntake>(*m_adder, scratchFolder());
    // A file waits while any box is open: it is never added, nor refused, inside another box.
    m_intake->setGate([] { return QApplication::activeModalWidget() == nullptr; });
    connect(m_intake.get(), &SourceIntake::finished, this, &TForm1::hideListWhenEmpty);
    new AddingProgress(*m_intake, m_ui.output.progressEdit, m_ui.output.stopAddBtn, this);
    createPreview();
    m_queue = std::make_unique<ConversionEngine>(*m_fileList, *m_log);
    // Timer1 is the engine's clock: it runs exactly while a batch does.
    m_queue->useTickTimer(m_ui.output.Timer1);
    // The next row waits while a box is open, as the window's rows always have.
    m_queue->setStartGate([] { return QApplication::activeModalWidget() == nullptr; });
    connectSimultaneousChooser();
    ConnectQueueToControls(*m_queue, m_ui.output, m_state.programFolder);
    connect(m_queue.get(), &ConversionEngine::queueStarted, this, [this] { m_ui.list.setListButtonsEnabled(false); });
    connect(m_queue.get(), &ConversionEngine::queueFinished, this, &TForm1::queueFinished);
    // Shown after the engine has moved on, never inside its handling of the row.
    connect(
        m_queue.get(), &ConversionEngine::startFailed, this,
        [this](const QString &error) { m_services.dialogs.showMessage(this, MessageRequest::plain(error)); },
        Qt::QueuedConnection);

    connect(m_ui.tools.addButton, &QToolButton::clicked, this, &TForm1::addButtonClick);
    connect(this, &TForm1::filesDropped, this, &TForm1::dropFiles);
    connect(m_ui.output.startButton, &QAbstractButton::clicked, this, &TForm1::startButtonClick);
    connect(m_ui.output.OpenBtn, &QAbstractButton::clicked, this, &TForm1::OpenBtnClick);
    connectProfileChoosers();
    createGuards(nullptr, nullptr); // session, power and exit guards
    connectStopRequests();
    connectListCommands();
}

QString TForm1::scratchFolder() const
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + u"/tolm-audio-converter"_s;
}

void TForm1::addButtonClick()
{
    m_ui.list.listview->show();
    // It opens on "Supported Files": on the first entry a folder of music looks empty.
    const QStringList files = m_services.dialogs.openFiles(this, { kAddFilesFilter.toString(), 1, {}, {} });
    m_intake->add(files);
    if (!m_intake->isBusy())
        hideListWhenEmpty();
}

void TForm1::dropFiles(const QStringList &paths)
{
    m_ui.list.listview->show();
    m_intake->add(paths);
    if (!m_intake->isBusy())
        hideListWhenEmpty();
}

void TForm1::hideListWhenEmpty()
{
    if (m_fileList->rowCount() == 0)
        m_ui.list.listview->hide();
}

void TForm1::startButtonClick()
{
    m_queue->start();
}

void TForm1::connectSimultaneousChooser()
{
    m_choices->setSimultaneous(UserSettings::simultaneousConversions());
    m_queue->setSimultaneous(m_choices->simultaneous());
    m_intake->setSimultaneous(m_choices->simultaneous());
    connect(m_choices.get(), &OutputChoices::simultaneousChanged, this, [this](int count) {
        m_queue->setSimultaneous(count);
        m_intake->setSimultaneous(count);
        UserSettings::setSimultaneousConversions(count);
    });
}

// Every row of the batch had its turn: the list may be arranged again and the after-done
// action follows, unless the batch was given up.
void TForm1::queueFinished()
{
    m_ui.list.setListButtonsEnabled(true);
    if (m_queue->wasAbandoned())
        return;
    // The one call of the after-done action: once everyone has heard of the batch's end, so a
    // box it shows never holds that news up.
    QMetaObject::invokeMethod(this, &TForm1::afterDoneBoxAction, Qt::QueuedConnection);
}

void TForm1::afterDoneBoxAction()
{
    AfterDoneHooks hooks;
    hooks.openOutputFolder = [this] { OpenBtnClick(); };
    // Hidden rather than closed: closing the last window would let the application quit on
    // its own and take the failure box with it before it is read; endProgram ends it after.
    hooks.closeMainWindow = [this] { hide(); };
    hooks.showMessage
        = [this](const QString &text) { m_services.dialogs.showMessage(this, MessageRequest::plain(text)); };
    hooks.endProgram = [this] { endProgram(); };
    hooks.power = &m_services.power;
    RunAfterDoneAction(m_choices->afterDone(), hooks);
}

void TForm1::OpenBtnClick()
{
    const QString folder = m_choices->destinationFolder();
    if (QFileInfo(folder).isDir())
        m_services.desktop.open(QUrl::fromLocalFile(folder), [this, guard = QPointer<TForm1>(this), folder] {
            if (guard)
                m_services.dialogs.showMessage(this, MessageRequest::plain(HelpText::cannotOpenFolder(folder)));
        });
}

void TForm1::registerDropTargets()
{
    m_dropTarget = new FileDropTarget(this);
    m_dropTarget->watch(m_ui.list.listview);
    m_dropTarget->watch(m_ui.list.listPanel);
    connect(m_dropTarget, &FileDropTarget::filesDropped, this, &TForm1::filesDropped);
}

void TForm1::shapeWindow()
{
    QPainterPath outline;
    outline.addRoundedRect(QRectF(0, 0, width(), height()), kCornerDiameter / 2.0, kCornerDiameter / 2.0);
    setMask(QRegion(outline.toFillPolygon().toPolygon()));
}

// The first row of an empty list makes the commands that work on rows usable.
void TForm1::enableRowCommands()
{
    if (m_ui.tools.trimBtn->isEnabled())
        return;
    m_ui.list.listview->viewport()->update();
    m_ui.tools.setRowToolsEnabled(true);
    if (!m_queue->isRunning())
        m_ui.output.startButton->setEnabled(true);
    m_ui.preview.previewBtn->setEnabled(true);
}

void TForm1::applyProgramState()
{
    m_choices->setProfiles(BuiltInProfileNames() + m_state.userProfileNames);
    m_choices->setProfilePosition(0);
    m_choices->setDestinationFolder(m_state.initialDestination);
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
