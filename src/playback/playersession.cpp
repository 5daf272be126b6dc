#include "playback/playersession.h"

#include "core/siblingcommands.h"

namespace {

// A window manager may take a window back that we took from it; look again at these moments
// after embedding and take it in again if it was.
constexpr int kEmbeddingChecksMs[] = { 50, 150, 400, 1000 };

} // namespace

PlayerSession::PlayerSession(WindowEmbedding &windows, int looks, QObject *parent)
    : QObject(parent)
    , m_windows(windows)
    , m_looks(looks)
{
    m_stepTimer.setSingleShot(true);
    connect(&m_stepTimer, &QTimer::timeout, this, &PlayerSession::step);
    // A player the system could not run says so at once rather than at the last look.
    connect(&m_child, &ChildProcess::finished, this, [this] {
        if (isStarting() && m_child.failedToStart())
            finishStart(Start::Failed);
    });
}

PlayerSession::~PlayerSession()
{
    // No key: the windowing service may already be gone; ending our child is enough.
    end();
}

bool PlayerSession::start(const CommandLine &command, WindowEmbedding::WindowId panel, qreal devicePixelRatio)
{
    ++m_generation;
    m_stepTimer.stop();
    m_phase = Phase::Idle;
    m_window = 0;
    m_candidate = 0;
    m_lastCommand = command;
    // Every player of ours goes, also the other panel's: one plays at a time.
    ChildProcess::KillProcessByName(kPlayerName.toString());
    if (!m_child.start(command))
        return false;
    m_panel = panel;
    m_deviceGeometry = QRect(qRound(kEmbeddedGeometry.x() * devicePixelRatio),
        qRound(kEmbeddedGeometry.y() * devicePixelRatio), qRound(kEmbeddedGeometry.width() * devicePixelRatio),
        qRound(kEmbeddedGeometry.height() * devicePixelRatio));
    m_phase = Phase::Looking;
    m_stepsDone = 0;
    look();
    return true;
}

void PlayerSession::step()
{
    if (m_phase == Phase::Looking)
        look();
    else if (m_phase == Phase::Withdrawing)
        embedWhenLetGo();
}

void PlayerSession::look()
{
    const WindowEmbedding::WindowId found = m_windows.findWindow(kPlayerWindowTitle.toString(), m_child.processId());
    ++m_stepsDone;
    if (found != 0) {
        takeIn(found);
        return;
    }
    // A player that has already ended will not show a window any more.
    if (!m_child.isRunning() || m_stepsDone >= m_looks) {
        // Left running it would play unseen and unstoppable until the program ends.
        m_child.end();
        finishStart(Start::NoWindow);
        return;
    }
    m_stepTimer.start(kLookIntervalMs);
}

void PlayerSession::takeIn(WindowEmbedding::WindowId window)
{
    m_candidate = window;
    m_stepsDone = 0;
    m_windows.withdraw(window);
    embedWhenLetGo();
}

// Embeds the candidate once no window manager holds it (or it has had its time to let go).
void PlayerSession::embedWhenLetGo()
{
    if (m_windows.isManaged(m_candidate) && ++m_stepsDone <= kWithdrawSteps) {
        m_phase = Phase::Withdrawing;
        m_stepTimer.start(kWithdrawStepMs);
        return;
    }
    m_windows.embed(m_candidate, m_panel, m_deviceGeometry);
    const bool again = m_window != 0;
    m_window = m_candidate;
    m_phase = Phase::Embedded;
    if (again)
        return;
    const quint64 generation = m_generation;
    for (const int delay : kEmbeddingChecksMs) {
        QTimer::singleShot(delay, this, [this, generation] {
            if (generation == m_generation)
                checkEmbedding();
        });
    }
    finishStart(Start::Embedded);
}

void PlayerSession::finishStart(Start result)
{
    if (result != Start::Embedded)
        m_phase = Phase::Idle;
    Q_EMIT started(result);
}

void PlayerSession::checkEmbedding()
{
    if (m_phase != Phase::Embedded || m_window == 0 || m_windows.isEmbedded(m_window, m_panel, m_deviceGeometry))
        return;
    m_candidate = m_window;
    m_stepsDone = 0;
    m_windows.withdraw(m_window);
    embedWhenLetGo();
}

void PlayerSession::sendKey(PlayerKey key)
{
    if (m_window != 0)
        m_windows.sendKey(m_window, key);
}

void PlayerSession::forget()
{
    ++m_generation;
    m_stepTimer.stop();
    m_phase = Phase::Idle;
    m_window = 0;
}

void PlayerSession::quit()
{
    if (isStarting()) {
        // Not shown yet, so it cannot be told: a player whose start is given up is ended.
        end();
        return;
    }
    if (m_window == 0)
        return;
    sendKey(PlayerKey::Quit);
    m_window = 0;
    m_phase = Phase::Idle;
    const quint64 generation = ++m_generation;
    QTimer::singleShot(kQuitGraceMs, this, [this, generation] {
        if (generation == m_generation)
            m_child.end();
    });
}

void PlayerSession::end()
{
    ++m_generation;
    m_stepTimer.stop();
    m_phase = Phase::Idle;
    m_window = 0;
    m_candidate = 0;
    m_child.end();
}
