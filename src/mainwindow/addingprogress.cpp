#include "mainwindow/addingprogress.h"

#include "sources/sourceintake.h"

#include <QLabel>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {
constexpr int kShowAfterMs = 500;
}

AddingProgress::AddingProgress(SourceIntake &intake, QLabel *label, QToolButton *stopButton, QObject *parent)
    : QObject(parent)
    , m_intake(intake)
    , m_label(label)
    , m_stopButton(stopButton)
    , m_idleText(label->text())
{
    m_stopButton->hide();
    m_delay.setSingleShot(true);
    m_delay.setInterval(kShowAfterMs);
    connect(&m_delay, &QTimer::timeout, this, &AddingProgress::show);
    connect(&intake, &SourceIntake::progress, this, [this] {
        if (m_shown)
            update();
        else if (!m_delay.isActive())
            m_delay.start(qMax<qint64>(0, kShowAfterMs - m_intake.elapsedMs()));
    });
    connect(&intake, &SourceIntake::finished, this, &AddingProgress::finish);
    connect(m_stopButton, &QToolButton::clicked, &intake, &SourceIntake::stop);
}

QString AddingProgress::progressText(int done, int total)
{
    return u"Adding %1 of %2"_s.arg(done).arg(total);
}

void AddingProgress::show()
{
    if (!m_intake.isBusy())
        return;
    m_shown = true;
    m_stopButton->show();
    m_stopButton->raise();
    update();
}

void AddingProgress::update()
{
    m_label->setText(progressText(m_intake.added(), m_intake.total()));
    m_label->setAccessibleName(m_label->text());
}

void AddingProgress::finish()
{
    m_delay.stop();
    m_shown = false;
    m_stopButton->hide();
    m_label->setText(m_idleText);
    m_label->setAccessibleName(m_idleText);
}
