#include "mainwindow/sourcelistcontrols.h"

#include "widgets/controlfactory.h"
#include "widgets/skin.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>

using namespace Qt::StringLiterals;
using namespace ControlFactory;

void SourceListControls::build(QWidget *panel, const QString &programFolder)
{
    const auto icon = [&programFolder](QStringView name) { return Skin::icon(programFolder, name); };

    listPanel = named(new QWidget(panel), u"listPanel"_s, {}, u"Source files"_s);
    listPanel->setGeometry(14, 120, 486, 264);
    auto *dropHint = new QLabel(listPanel);
    dropHint->setObjectName(u"dropHint"_s);
    dropHint->setPixmap(icon(u"drop").pixmap(QSize(96, 96)));
    dropHint->setAlignment(Qt::AlignCenter);
    dropHint->setGeometry(listPanel->rect());
    dropHint->setAttribute(Qt::WA_TransparentForMouseEvents);
    dropHint->setAccessibleName(u"Source files"_s);

    listview = named(new QTreeView(listPanel), u"listview"_s, {}, u"Source files"_s);
    listview->setGeometry(listPanel->rect());
    listview->header()->setStretchLastSection(false);
    listview->header()->setSectionsMovable(false);
    listview->setRootIsDecorated(false);
    listview->setItemsExpandable(false);
    listview->setUniformRowHeights(true);
    listview->setAllColumnsShowFocus(true);
    listview->setSelectionMode(QAbstractItemView::ExtendedSelection);
    listview->setSelectionBehavior(QAbstractItemView::SelectRows);
    listview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    listview->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    listview->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The selection stays as visible when the list loses the focus.
    QPalette listPalette = listview->palette();
    for (const QPalette::ColorRole role : { QPalette::Highlight, QPalette::HighlightedText })
        listPalette.setColor(QPalette::Inactive, role, listPalette.color(QPalette::Active, role));
    listview->setPalette(listPalette);
    listview->hide();

    listEdit = named(new QLineEdit(listview->viewport()), u"listEdit"_s, {}, u"Destination"_s);
    listEdit->hide();

    mUpBtn = button(panel, u"mUpBtn"_s, u"  Move Up"_s, QRect(14, 390, 110, 30), icon(u"moveup"));
    mDownBtn = button(panel, u"mDownBtn"_s, u"    MoveDown"_s, QRect(130, 390, 126, 30), icon(u"movedown"));
    delBtn = button(panel, u"delBtn"_s, u"     Remove"_s, QRect(262, 390, 118, 30), icon(u"remove"));
    clearBtn = button(panel, u"clearBtn"_s, u"Clear"_s, QRect(386, 390, 86, 30), icon(u"clear"));
}

void SourceListControls::show(QAbstractItemModel *rows, QItemSelectionModel *selection)
{
    listview->setModel(rows);
    QItemSelectionModel *own = listview->selectionModel();
    listview->setSelectionModel(selection);
    delete own;
    // The columns get their widths once the header knows them.
    const int widths[] = { 140, 80, 80, 120, 60 };
    for (int column = 0; column < int(std::size(widths)); ++column)
        listview->setColumnWidth(column, widths[column]);
}

void SourceListControls::setListButtonsEnabled(bool enabled)
{
    for (QPushButton *b : { delBtn, mUpBtn, mDownBtn, clearBtn })
        b->setEnabled(enabled);
}
