#pragma once

#include <QObject>
#include <QTimer>

class QLabel;
class QToolButton;
class SourceIntake;

// How far a long add is, where "Please   add   file(s)" stands: "Adding 120 of 400" once
// adding has taken half a second, with a button that stops it.
class AddingProgress : public QObject
{
    Q_OBJECT

public:
    AddingProgress(SourceIntake &intake, QLabel *label, QToolButton *stopButton, QObject *parent = nullptr);

    static QString progressText(int done, int total);

private:
    void show();
    void update();
    void finish();

    SourceIntake &m_intake;
    QLabel *m_label;
    QToolButton *m_stopButton;
    QString m_idleText;
    QTimer m_delay;
    bool m_shown = false;
};
