// The main window's handlers for arranging the source list, naming each output in the list's
// inline editor and choosing the destination folder. The rules live in sources/; these wire
// them to the controls.

#include "mainwindow/mainwindow.h"

#include "batch/outputchoices.h"
#include "core/conversionfailure.h"
#include "core/previewarea.h"
#include "core/timecode.h"
#include "mainwindow/outputchoicesview.h"
#include "mainwindow/picturebutton.h"
#include "platform/dialogs.h"
#include "sources/destinationfolder.h"
#include "sources/destinationname.h"
#include "sources/filelist.h"
#include "sources/listoperations.h"
#include "sources/namecommit.h"
#include "sources/rowchoices.h"

#include <QAbstractItemDelegate>
#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QFocusEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyleOptionViewItem>
#include <QToolButton>
#include <QToolTip>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace {

constexpr QStringView kNoPreviewText = u"Preview the source file";

// Focus that leaves for another control, not for another window (a message box or a dialog
// opened by the control's own handler) or a pop-up.
bool leavesForAnotherControl(const QEvent *event)
{
    const Qt::FocusReason reason = static_cast<const QFocusEvent *>(event)->reason();
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}

// The cell's text is wider than the cell: the list shows it cut short with "…".
bool cellCutShort(const QTreeView *view, const QModelIndex &index)
{
    QStyleOptionViewItem option;
    option.initFrom(view);
    option.widget = view;
    option.font = view->font();
    const int needed = view->itemDelegateForIndex(index)->sizeHint(option, index).width();
    return needed > view->visualRect(index).width();
}

} // namespace

// The presses, keys and focus changes of the list, its editor and the destination edit that
// Qt gives no signal for.
class TForm1::ListEvents : public QObject
{
public:
    explicit ListEvents(TForm1 &form)
        : m_form(form)
    {
        const MainWindowControls &ui = form.m_ui;
        ui.list.listview->installEventFilter(this);
        ui.list.listview->viewport()->installEventFilter(this);
        ui.list.listEdit->installEventFilter(this);
        ui.output.pathdir->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const MainWindowControls &ui = m_form.m_ui;
        const QEvent::Type type = event->type();
        if (watched == ui.list.listview->viewport()
            && (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick)) {
            m_form.listviewMouseDown(static_cast<QMouseEvent *>(event)->position().toPoint());
        } else if (watched == ui.list.listview->viewport() && type == QEvent::ToolTip) {
            return m_form.listviewToolTip(static_cast<QHelpEvent *>(event));
        } else if (watched == ui.list.listview && type == QEvent::KeyPress
            && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete
            && static_cast<QKeyEvent *>(event)->modifiers() == Qt::NoModifier) {
            // Delete does what Remove does, and only while Remove can be pressed.
            if (ui.list.delBtn->isEnabled())
                m_form.delBtnClick();
            return true;
        } else if (watched == ui.list.listEdit && type == QEvent::FocusOut && leavesForAnotherControl(event)) {
            m_form.listEditExit();
        } else if (watched == ui.output.pathdir) {
            if (type == QEvent::FocusOut && leavesForAnotherControl(event)) {
                m_form.pathdirExit();
            } else if (type == QEvent::MouseButtonRelease) {
                // The edit's own release comes first, so the whole text stays selected.
                static_cast<QObject *>(ui.output.pathdir)->event(event);
                m_form.pathdirMouseUp();
                return true;
            } else if (type == QEvent::KeyRelease) {
                m_form.pathdirKeyUp(static_cast<QKeyEvent *>(event)->key());
            }
        }
        return false;
    }

private:
    TForm1 &m_form;
};

void TForm1::connectListCommands()
{
    m_destination = std::make_unique<DestinationFolder>(*m_choicesView, m_services.dialogs, m_state.destinationHistory,
        m_state.defaultOutputFolder, this,
        [this] { ::ApplyFolderToRows(*m_fileList, m_choices->destinationFolder()); });
    m_listEvents = std::make_unique<ListEvents>(*this);

    connect(m_ui.list.delBtn, &QAbstractButton::clicked, this, &TForm1::delBtnClick);
    connect(m_ui.list.clearBtn, &QAbstractButton::clicked, this, &TForm1::clearBtnClick);
    connect(m_ui.list.mUpBtn, &QAbstractButton::clicked, this, &TForm1::mUpBtnClick);
    connect(m_ui.list.mDownBtn, &QAbstractButton::clicked, this, &TForm1::mDownBtnClick);
    connect(m_ui.list.listEdit, &QLineEdit::textChanged, this, &TForm1::listEditChange);
    connect(m_ui.list.listEdit, &QLineEdit::returnPressed, this, &TForm1::listEditKeyPress);
    connect(m_ui.output.pathdir, &QLineEdit::returnPressed, this, &TForm1::pathdirKeyPress);
    connect(m_ui.output.browseBtn, &QAbstractButton::clicked, this, &TForm1::browseBtnClick);
}

void TForm1::delBtnClick()
{
    RemoveSelectedRows(*m_fileList);
    m_preview->Reset();
    if (m_fileList->rowCount() == 0)
        disableRowCommands();
}

void TForm1::clearBtnClick()
{
    m_fileList->clearRows();
    disableRowCommands();
    m_preview->Reset();
}

// The list is empty: what needs a row waits, and the list gives way to the drop picture.
void TForm1::disableRowCommands()
{
    m_ui.output.startButton->setEnabled(false);
    m_ui.tools.setRowToolsEnabled(false);
    m_ui.list.listview->hide();
    m_editingName = false; // an editor left open over a removed row commits nothing
    m_ui.list.listEdit->hide();
}

void TForm1::mUpBtnClick()
{
    if (MoveRow(*m_fileList, MoveDirection::Up) >= 0)
        m_ui.list.listview->setFocus();
}

void TForm1::mDownBtnClick()
{
    if (MoveRow(*m_fileList, MoveDirection::Down) >= 0)
        m_ui.list.listview->setFocus();
}

void TForm1::listviewMouseDown(const QPoint &pos)
{
    // A press on the list ends an editing that the focus change did not end (the window was
    // not active): the name goes to the row it was typed for.
    listEditExit();
    QTreeView *view = m_ui.list.listview;
    const int row = view->indexAt(pos).row();
    m_clickedRow = row < 0 ? std::nullopt : std::optional<quint64>(m_fileList->rowId(row));
    if (row < 0) {
        m_ui.list.listEdit->hide();
        if (!m_preview->playerKnown())
            m_ui.preview.videoNamelabel->setText(kNoPreviewText.toString());
        return;
    }
    // The Destination column as it lies now, horizontal scrolling included.
    const int left = view->header()->sectionViewportPosition(BatchModel::Destination);
    const int width = view->header()->sectionSize(BatchModel::Destination);
    if (pos.x() > left && pos.x() < left + width) {
        openListEdit(row, left, width);
        return;
    }
    m_ui.list.listEdit->hide();
    showRowChoices(row);
}

bool TForm1::listviewToolTip(QHelpEvent *event)
{
    QTreeView *view = m_ui.list.listview;
    const QModelIndex index = view->indexAt(event->pos());
    QString tip = index.isValid() && cellCutShort(view, index) ? CellToolTip(*m_fileList, index.row(), index.column())
                                                               : QString();
    // A row that failed or was refused says why on its Status cell.
    if (index.isValid() && index.column() == BatchModel::Status)
        tip = index.data(BatchModel::ReasonRole).toString();
    if (tip.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(event->globalPos(), tip, view->viewport(), view->visualRect(index));
    return true;
}

void TForm1::openListEdit(int row, int left, int width)
{
    QLineEdit *edit = m_ui.list.listEdit;
    const QRect bounds = m_ui.list.listview->visualRect(m_fileList->index(row, BatchModel::Destination));
    edit->setGeometry(left - 1, bounds.top() - 1, width, bounds.height() + 2);
    edit->raise();
    edit->setText(m_fileList->destination(row));
    edit->selectAll(); // typing replaces the name, as an edit that takes the focus does
    m_editingName = true;
    edit->show();
    edit->setFocus(Qt::MouseFocusReason);
}

void TForm1::showRowChoices(int row)
{
    const TStartRecord &job = m_fileList->job(row);
    m_preview->Stop();
    try {
        m_preview->Load(job);
        // The preview's bar runs to the row's length in seconds; an unknown length ends the
        // press here, whatever preview is wired in.
        TimeCodeToSeconds(job.Duration);
    } catch (const ConversionFailure &failure) {
        m_services.dialogs.showMessage(this, MessageRequest::plain(failure.message()));
        return;
    }

    const RowChoices choices
        = ChoicesForRow(job, m_choices->profiles(), m_state.cataloguePath, m_state.userProfilePath);
    // The choosers' own handlers answer the user's picks only, so showing the row's values
    // here changes no record.
    m_choices->setDestinationFolder(choices.folder);
    m_choices->setProfilePosition(choices.profileIndex);
    m_choices->setQualityEnabled(choices.qualityEnabled);
    if (choices.qualityIndex) {
        // The chooser keeps its look; a plain one shows the row's quality, not "Lossless".
        if (m_choices->qualityLook() == QualityLook::Lossless)
            m_choices->setQualityLook(QualityLook::Plain);
        m_choices->setQualityPosition(*choices.qualityIndex);
    }
    m_choices->setSettingsEnabled(choices.settingsEnabled);
}

void TForm1::listEditChange(const QString &text)
{
    const int row = m_clickedRow ? m_fileList->rowOfId(*m_clickedRow) : -1;
    if (m_editingName && row >= 0)
        m_fileList->setDestination(row, text);
}

void TForm1::listEditKeyPress()
{
    if (const int row = m_clickedRow ? m_fileList->rowOfId(*m_clickedRow) : -1; row >= 0)
        m_fileList->select(row);
    m_ui.list.listview->setFocus(Qt::OtherFocusReason);
    listEditExit(); // when the focus was elsewhere already, no focus change commits it
}

void TForm1::listEditExit()
{
    if (!m_editingName)
        return;
    m_editingName = false;
    QLineEdit *edit = m_ui.list.listEdit;
    edit->hide();
    int row = m_clickedRow ? m_fileList->rowOfId(*m_clickedRow) : -1;
    if (row < 0)
        return;

    const TStartRecord &job = m_fileList->job(row);
    const NameCommitRequest request { edit->text(), m_fileList->caption(row), job.Extension,
        RowOutputFolder(m_choices->destinationFolder(), job), QFileInfo(job.OutputPath.text()).fileName() };
    const NameCommit commit = CommitDestinationName(
        request, m_services.dialogs, this, [this](const QString &path) { return isRowSource(path); });
    // The questions may have let the list change meanwhile: find the row again.
    row = m_fileList->rowOfId(*m_clickedRow);
    if (row < 0)
        return;
    edit->setText(commit.name);
    m_fileList->setDestination(row, commit.name);
    if (!commit.refused) {
        TStartRecord &changed = m_fileList->job(row);
        if (changed.OutputPath.text() != commit.outputPath)
            ReopenIfFinished(*m_fileList, row);
        changed.OutputPath = commit.outputPath;
        changed.Replace = commit.replace;
    }
    m_ui.output.OpenBtn->setFocus(Qt::OtherFocusReason);
}

bool TForm1::isRowSource(const QString &path) const
{
    for (int row = 0; row < m_fileList->rowCount(); ++row)
        if (IsSameFile(m_fileList->job(row).SourcePath, path))
            return true;
    return false;
}

void TForm1::pathdirMouseUp()
{
    m_destination->mouseReleased();
}

void TForm1::pathdirKeyPress()
{
    m_destination->confirm();
}

void TForm1::pathdirKeyUp(int key)
{
    m_destination->keyReleased(key);
}

void TForm1::pathdirExit()
{
    m_destination->left();
}

void TForm1::browseBtnClick()
{
    m_destination->browse();
}
