#pragma once

#include <QObject>
#include <QStringList>

class QWidget;

// Makes widgets accept files dragged from the desktop and reports the dropped local paths;
// what a drop does is up to whoever listens.
class FileDropTarget : public QObject
{
    Q_OBJECT

public:
    explicit FileDropTarget(QObject *parent = nullptr);

    void watch(QWidget *widget);

Q_SIGNALS:
    void filesDropped(const QStringList &paths);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
