#include "platform/qtdialogs.h"

#include "platform/placement.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Moves the box once its size is final, before it is mapped, so it never jumps.
class PlacedMessageBox : public QMessageBox
{
public:
    PlacedMessageBox(QWidget *owner, DialogPlacement placement)
        : QMessageBox(owner)
        , m_placement(placement)
    { }

protected:
    void showEvent(QShowEvent *event) override
    {
        QMessageBox::showEvent(event);
        QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr;
        if (m_placement == DialogPlacement::ConfirmOffset && owner) {
            move(Placement::confirmTopLeft(owner->frameGeometry()));
        } else if (m_placement == DialogPlacement::ScreenCentre || !owner) {
            QScreen *screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
            if (screen)
                move(screen->availableGeometry().center() - rect().center());
        }
        // OverOwner: QDialog already centres a dialog over its parent.
    }

private:
    DialogPlacement m_placement;
};

// Open takes chosen folders as they are (their files are added whole) instead of going into
// them; a double click still goes into a folder, and ".." or a name that is not there keep
// the dialog's own handling.
class FilesAndFoldersDialog : public QFileDialog
{
public:
    using QFileDialog::QFileDialog;

    void accept() override
    {
        const QStringList chosen = selectedFiles();
        const auto *typed = findChild<QLineEdit *>(u"fileNameEdit"_s);
        const bool goingUp = typed && typed->text().trimmed() == u"..";
        const bool allThere = std::ranges::all_of(chosen, [](const QString &path) { return QFileInfo::exists(path); });
        const bool anyFolder = std::ranges::any_of(chosen, [](const QString &path) { return QFileInfo(path).isDir(); });
        if (chosen.isEmpty() || goingUp || !allThere || !anyFolder) {
            QFileDialog::accept();
            return;
        }
        QDialog::accept();
    }
};

QMessageBox::Icon boxIcon(DialogIcon::Kind icon)
{
    switch (icon) {
    case DialogIcon::None:
        return QMessageBox::NoIcon;
    case DialogIcon::Information:
        return QMessageBox::Information;
    case DialogIcon::Warning:
        return QMessageBox::Warning;
    case DialogIcon::Question:
        return QMessageBox::Question;
    case DialogIcon::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons boxButtons(DialogButtons buttons)
{
    switch (buttons) {
    case DialogButtons::Ok:
        return QMessageBox::Ok;
    case DialogButtons::Yes:
        return QMessageBox::Yes;
    case DialogButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case DialogButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case DialogButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

} // namespace

DialogAnswer QtDialogs::showMessage(QWidget *owner, const MessageRequest &request)
{
    PlacedMessageBox box(owner, request.placement);
    box.setWindowTitle(boxTitle(request.caption));
    // The program's texts carry Windows line breaks; a label wants plain ones.
    QString text = request.text;
    text.replace(u"\r\n"_s, u"\n"_s);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setIcon(boxIcon(request.icon));
    box.setStandardButtons(boxButtons(request.buttons));
    switch (box.exec()) {
    case QMessageBox::Ok:
        return DialogAnswer::Ok;
    case QMessageBox::Yes:
        return DialogAnswer::Yes;
    case QMessageBox::No:
        return DialogAnswer::No;
    default:
        return request.buttons == DialogButtons::YesNo ? DialogAnswer::No : DialogAnswer::Cancel;
    }
}

QList<QtDialogs::NameFilter> QtDialogs::nameFilters(const QString &filter)
{
    const QStringList parts = filter.split(u'|');
    QList<NameFilter> filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts.at(i + 1).split(u';', Qt::SkipEmptyParts);
        for (QString &pattern : patterns)
            if (pattern == u"*.*")
                pattern = u"*"_s;
        filters.append({ parts.at(i), patterns });
    }
    return filters;
}

QString QtDialogs::boxTitle(const QString &caption)
{
    return caption.isEmpty() ? u" "_s : caption;
}

QStringList QtDialogs::openFiles(QWidget *owner, const FileOpenRequest &request)
{
    FilesAndFoldersDialog dialog(owner, request.title, request.startFolder);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    // Qt's own dialog, so that an entry can show its name as the program writes it while its
    // patterns do the picking (a desktop's dialog would read the patterns from the name).
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    const QList<NameFilter> filters = nameFilters(request.filter);
    QStringList shown;
    for (const NameFilter &entry : filters)
        shown << entry.shown;
    dialog.setNameFilters(shown);
    const auto usePatterns = [&dialog, &filters, &shown](const QString &selected) {
        auto *model = dialog.findChild<QFileSystemModel *>();
        const qsizetype index = shown.indexOf(selected);
        if (model && index >= 0)
            model->setNameFilters(filters.at(index).patterns);
    };
    // The dialog sets the patterns it reads from the name first; ours follow.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, usePatterns);
    if (request.filterIndex >= 0 && request.filterIndex < shown.size()) {
        dialog.selectNameFilter(shown.at(request.filterIndex));
        usePatterns(shown.at(request.filterIndex));
    }
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

QString QtDialogs::chooseFolder(QWidget *owner, const QString &title, const QString &startFolder)
{
    return QFileDialog::getExistingDirectory(owner, title, startFolder, QFileDialog::ShowDirsOnly);
}
