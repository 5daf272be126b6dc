#include "playback/playersession.h"

#include "core/siblingcommands.h"

#include <QThread>
#include <QTimer>

namespace {

// A window manager may take a window back that we took from it; look again at these moments
// after embedding and take it in again if it was.
constexpr int kEmbeddingChecksMs[] = { 50, 150, 400, 1000 };

} // namespace

PlayerSession::PlayerSession(WindowEmbedding &windows, int looks, QObject *parent)
    : QObject(parent)
    , m_windows(windows)
    , m_looks(looks)
{ }

PlayerSession::~PlayerSession()
{
    // No key: the windowing service may already be gone; ending our child is enough.
    end();
}

PlayerSession::Start PlayerSession::start(
    const CommandLine &command, WindowEmbedding::WindowId panel, qreal devicePixelRatio)
{
    ++m_generation;
    m_window = 0;
    m_lastCommand = command;
    // Every player of ours goes, also the other panel's: one plays at a time.
    ChildProcess::KillProcessByName(kPlayerName.toString());
    if (!m_child.start(command))
        return Start::Failed;

    WindowEmbedding::WindowId found = 0;
    for (int look = 0; look < m_looks; ++look) {
        found = m_windows.findWindow(kPlayerWindowTitle.toString(), m_child.processId());
        // A player that has already ended will not show a window any more.
        if (found != 0 || !m_child.isRunning())
            break;
        QThread::msleep(kLookIntervalMs);
    }
    if (found == 0) {
        // Left running it would play unseen and unstoppable until the program ends.
        m_child.end();
        return Start::NoWindow;
    }

    m_window = found;
    m_panel = panel;
    m_deviceGeometry = QRect(qRound(kEmbeddedGeometry.x() * devicePixelRatio),
        qRound(kEmbeddedGeometry.y() * devicePixelRatio), qRound(kEmbeddedGeometry.width() * devicePixelRatio),
        qRound(kEmbeddedGeometry.height() * devicePixelRatio));
    m_windows.embed(m_window, m_panel, m_deviceGeometry);
    const quint64 generation = m_generation;
    for (const int delay : kEmbeddingChecksMs) {
        QTimer::singleShot(delay, this, [this, generation] {
            if (generation == m_generation)
                checkEmbedding();
        });
    }
    return Start::Embedded;
}

void PlayerSession::checkEmbedding()
{
    if (m_window != 0 && !m_windows.isEmbedded(m_window, m_panel, m_deviceGeometry))
        m_windows.embed(m_window, m_panel, m_deviceGeometry);
}

void PlayerSession::sendKey(PlayerKey key)
{
    if (m_window != 0)
        m_windows.sendKey(m_window, key);
}

void PlayerSession::quit()
{
    if (m_window == 0)
        return;
    sendKey(PlayerKey::Quit);
    m_window = 0;
    const quint64 generation = ++m_generation;
    QTimer::singleShot(kQuitGraceMs, this, [this, generation] {
        if (generation == m_generation)
            m_child.end();
    });
}

void PlayerSession::end()
{
    ++m_generation;
    m_window = 0;
    m_child.end();
}
