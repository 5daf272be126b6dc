#pragma once

#include <QString>

class QLineEdit;
class QPushButton;
class QAbstractItemModel;
class QItemSelectionModel;
class QTreeView;
class QWidget;

// The source list with its five columns, the inline name editor over it, and the four
// buttons under it that arrange the list.
struct SourceListControls
{
    void build(QWidget *panel, const QString &programFolder);
    // The list shows these rows with this selection (the list's own, widget-free).
    void show(QAbstractItemModel *rows, QItemSelectionModel *selection);
    // Remove, Clear and the two moves wait while a batch converts.
    void setListButtonsEnabled(bool enabled);

    QWidget *listPanel = nullptr;
    QTreeView *listview = nullptr;
    QLineEdit *listEdit = nullptr;
    QPushButton *mUpBtn = nullptr;
    QPushButton *mDownBtn = nullptr;
    QPushButton *delBtn = nullptr;
    QPushButton *clearBtn = nullptr;
};
