#pragma once

#include <QString>

class QLineEdit;
class QPushButton;
class QTreeWidget;
class QWidget;

// The source list with its five columns, the inline name editor over it, and the four
// buttons under it that arrange the list.
struct SourceListControls
{
    void build(QWidget *panel, const QString &programFolder);
    // Remove, Clear and the two moves wait while a batch converts.
    void setListButtonsEnabled(bool enabled);

    QWidget *listPanel = nullptr;
    QTreeWidget *listview = nullptr;
    QLineEdit *listEdit = nullptr;
    QPushButton *mUpBtn = nullptr;
    QPushButton *mDownBtn = nullptr;
    QPushButton *delBtn = nullptr;
    QPushButton *clearBtn = nullptr;
};
