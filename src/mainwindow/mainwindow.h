#pragma once

#include "core/programtexts.h"
#include "mainwindow/mainwindowcontrols.h"
#include "profiles/programstartup.h"

#include <QStringList>
#include <QWidget>

#include <memory>
#include <optional>

class BatchNotice;
class ConversionEngine;
class DesktopServices;
class DestinationFolder;
class OutputChoices;
class OutputChoicesView;
class Dialogs;
class FileList;
class PowerControl;
class PreviewArea;
class SourceAdder;
class SourceIntake;
class FileDropTarget;
class Inhibitor;
class Notifier;
class QHelpEvent;
class QKeyEvent;
class QSessionManager;
class SessionGuard;
class TaboutFrm;
class TlogFrm;
class ProfileSelection;
class TSettingFrm;
class TsaveasFrm;
class TEffectFrm;
class TtrimFrm;
class WindowEmbedding;

// The platform services the main window works through.
struct MainWindowServices
{
    Dialogs &dialogs;
    DesktopServices &desktop;
    PowerControl &power;
};

// The program's only permanent window: a frameless, rounded window that hosts every control
// and owns every dialog. It wires the controls to the parts of the program that do the work
// and keeps the program-wide values fixed at start-up.
class TForm1 : public QWidget
{
    Q_OBJECT

public:
    TForm1(const MainWindowServices &services, const StartupEnvironment &environment, QWidget *parent = nullptr);
    ~TForm1() override;

    const MainWindowControls &controls() const { return m_ui; }
    OutputChoices &outputChoices() { return *m_choices; }
    const ProgramState &programState() const { return m_state; }
    FileList &fileList() const { return *m_fileList; }
    ConversionEngine &queue() const { return *m_queue; }
    // Files being added: probed without blocking the window, added in the order given.
    SourceIntake &sourceIntake() const { return *m_intake; }
    // Where the probes write their one-millisecond outputs: the user's cache folder.
    QString scratchFolder() const;
    // The log window is created after the main window; the log button works once it is known.
    void setLogWindow(TlogFrm *logWindow) { m_logFrm = logWindow; }

    // Profile and quality choosers, advanced settings dialog (mainwindowprofiles.cpp).
    // The save-as dialog is created at start-up after the main window; one is made on first
    // use when none was handed in.
    void setSaveAsDialog(TsaveasFrm *saveAs) { m_saveasFrm = saveAs; }
    TsaveasFrm *saveAsDialog();
    TSettingFrm *settingsDialog() const { return m_settingFrm; }
    // Session, power and exit guards, open-with and the batch notification
    // (mainwindowguards.cpp). The window starts with do-nothing back-ends; the running
    // program hands it the system's.
    void setDesktopGuards(std::unique_ptr<Inhibitor> inhibitor, std::unique_ptr<Notifier> notifier);
    const BatchNotice &batchNotice() const { return *m_batchNotice; }
    // A conversion counts as running from Start to the batch's end, as the engine says.
    bool conversionRunning() const;
    static QString closeQuestionText();

    static constexpr QPoint kDesignedPosition { 249, 113 };
    static constexpr QSize kClientSize { 795, 562 };
    static constexpr int kCornerDiameter = 15;

public Q_SLOTS:
    // A second copy of the program asked this one to come to the front.
    void restoreRequest();

    void minBtnClick();
    void closeBtnClick();
    void helpBtnClick();
    void aboutBtnClick();
    void logBtnClick();

    void addButtonClick();
    void dropFiles(const QStringList &paths);
    void startButtonClick();
    // While a batch runs: asks "Stop the conversion?" and stops it on Yes.
    void askToStopConversion();
    // The action chosen in "After  Done :", run once a batch has been worked through.
    void afterDoneBoxAction();
    void OpenBtnClick();

    // Profile and quality choosers, advanced settings dialog.
    void profileBoxSelect();
    void AQualityBtnSelect();
    void settingBtnClick();
    // Preview, trim and effect (mainwindowpreview.cpp)
    void trimBtnClick();
    void effectBtnClick();
    // Session, power and exit guards, open-with (mainwindowguards.cpp).
    void systemSleeps();
    void commitDataRequest(QSessionManager &manager);
    // Files the program was started with, or a later copy handed over: added like a drop.
    void openFiles(const QStringList &paths);
    // The program was asked to end (a termination signal): the normal shutdown, no question.
    void shutDown();
    // Reports that the program is leaving its event loop after an after-done action.
    bool endingAfterDone() const { return m_endingAfterDone; }
    // Arranging the list, naming each output and choosing the destination folder.
    void delBtnClick();
    void clearBtnClick();
    void mUpBtnClick();
    void mDownBtnClick();
    void listviewMouseDown(const QPoint &pos); // viewport coordinates
    // A cell shown cut short gets its whole text as a tooltip; true: the event was answered.
    bool listviewToolTip(QHelpEvent *event);
    void listEditChange(const QString &text);
    void listEditKeyPress(); // Enter
    void listEditExit();
    void pathdirMouseUp();
    void pathdirKeyPress(); // Enter
    void pathdirKeyUp(int key);
    void pathdirExit();
    void browseBtnClick();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    // A close from outside (the desktop's window list, a keyboard shortcut) asks as the close
    // button does (mainwindowguards.cpp).
    void closeEvent(QCloseEvent *event) override;

Q_SIGNALS:
    // Local files dropped on the source list or the panel around it.
    void filesDropped(const QStringList &paths);

private:
    void registerDropTargets();
    void shapeWindow();
    void enableRowCommands();
    void applyProgramState();
    void createConversionRoad();
    void connectSimultaneousChooser();
    void queueFinished();
    void hideListWhenEmpty();
    void connectProfileChoosers();
    // Session, power and exit guards (mainwindowguards.cpp).
    void createGuards(std::unique_ptr<Inhibitor> inhibitor, std::unique_ptr<Notifier> notifier);
    bool confirmQuitDuringConversion();
    void connectStopRequests();
    void endChildren();
    // Leaves the event loop at once; main() then destroys the window (FormDestroy).
    void endProgram();
    bool m_endingAfterDone = false;
    void FormDestroy();

    class LogForwarder;

    // Arranging the list, naming each output and choosing the destination folder.
    void connectListCommands();
    void disableRowCommands();
    void openListEdit(int row, int left, int width);
    void showRowChoices(int row);
    bool isRowSource(const QString &path) const;
    class ListEvents;
    std::unique_ptr<DestinationFolder> m_destination;
    // Gone before the controls it watches, so no focus change while they are deleted reaches
    // a handler.
    std::unique_ptr<QObject> m_listEvents;
    std::optional<quint64> m_clickedRow; // clickedRow, by the row's identity
    bool m_editingName = false;

    MainWindowServices m_services;
    MainWindowControls m_ui;
    // The profile, quality, destination, simultaneous count and after-done action; the output
    // card's controls show and edit them through m_choicesView.
    std::unique_ptr<OutputChoices> m_choices;
    std::unique_ptr<OutputChoicesView> m_choicesView;
    ProgramState m_state;
    FileDropTarget *m_dropTarget = nullptr;
    TaboutFrm *m_aboutFrm = nullptr;
    TlogFrm *m_logFrm = nullptr;
    std::unique_ptr<LogForwarder> m_log;
    std::unique_ptr<FileList> m_fileList;
    std::unique_ptr<SourceAdder> m_adder;
    std::unique_ptr<SourceIntake> m_intake;
    std::unique_ptr<ConversionEngine> m_queue;
    // Preview, trim and effect: the player's window is taken in through m_windows, which
    // outlives the preview that uses it.
    void createPreview();
    std::unique_ptr<WindowEmbedding> m_windows;
    TtrimFrm *m_trimFrm = nullptr;
    TEffectFrm *m_effectFrm = nullptr;
    // The preview beside the list, as the list's operations see it.
    std::unique_ptr<PreviewArea> m_preview;

    // Profile and quality choosers, advanced settings dialog.
    std::unique_ptr<ProfileSelection> m_profileSelection;
    TSettingFrm *m_settingFrm = nullptr;
    TsaveasFrm *m_saveasFrm = nullptr;
    // Session, power and exit guards; the batch notification.
    std::unique_ptr<SessionGuard> m_guard;
    std::unique_ptr<BatchNotice> m_batchNotice;
};
