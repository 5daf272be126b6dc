#pragma once

#include "core/commandline.h"
#include "platform/childprocess.h"
#include "platform/windowembedding.h"

#include <QObject>
#include <QRect>
#include <QTimer>

// One preview player at a time for one panel: started from its command, its window looked
// for and taken into the panel, then driven by keys. Only the player children this program
// started are ever ended.
//
// Starting never holds the UI thread: the looks for the player's window and the wait for a
// window manager to let go of it are steps of a timer, and started() tells how it went.
class PlayerSession : public QObject
{
    Q_OBJECT

public:
    enum class Start { Embedded, Failed, NoWindow };
    Q_ENUM(Start)

    // The player's window inside the panel, in the panel's logical pixels.
    static constexpr QRect kEmbeddedGeometry { -5, -33, 272, 232 };
    static constexpr int kLookIntervalMs = 50;
    // A window manager lets go of a window it was asked to give back within about 10 ms;
    // this often, up to 200 ms, we look whether it has before the window is taken anyway.
    static constexpr int kWithdrawStepMs = 5;
    static constexpr int kWithdrawSteps = 40;
    // How long a player that was told to quit may take before it is ended.
    static constexpr int kQuitGraceMs = 2000;

    PlayerSession(WindowEmbedding &windows, int looks, QObject *parent = nullptr);
    ~PlayerSession() override;

    // Ends every player this program started and starts `command`. False when the player
    // cannot be started (errorText() says why); otherwise its window is looked for up to
    // `looks` times, 50 ms apart, and a found window is taken into `panel` (scaled by the
    // panel's device pixel ratio); started() follows, at once when the first look finds it.
    // A player whose window does not show is ended.
    bool start(const CommandLine &command, WindowEmbedding::WindowId panel, qreal devicePixelRatio);
    QString errorText() const { return m_child.errorText(); }
    const CommandLine &lastCommand() const { return m_lastCommand; }
    qint64 processId() const { return m_child.processId(); }
    bool isRunning() const { return m_child.isRunning(); }
    // Started, and its window not yet taken in nor given up on.
    bool isStarting() const { return m_window == 0 && (m_phase == Phase::Looking || m_phase == Phase::Withdrawing); }

    // A player is known while its window is.
    bool isKnown() const { return m_window != 0; }
    WindowEmbedding::WindowId window() const { return m_window; }

    // Sends the key to the known player; nothing without one.
    void sendKey(PlayerKey key);
    // The player is no longer ours to talk to; it is not told anything (the next start ends it).
    void forget();
    // Sends Q to the known player and forgets it; a player that does not go within the grace
    // time is ended. A player still starting is ended at once.
    void quit();
    // Ends our player now, whatever state it is in.
    void end();

Q_SIGNALS:
    // How a start() that returned true came out: Embedded, NoWindow (the player was ended),
    // or Failed when the system could not run the player (errorText()).
    void started(PlayerSession::Start result);

private:
    enum class Phase { Idle, Looking, Withdrawing, Embedded };

    void step();
    void look();
    void takeIn(WindowEmbedding::WindowId window);
    void embedWhenLetGo();
    void finishStart(Start result);
    void cancelStart();
    void checkEmbedding();

    WindowEmbedding &m_windows;
    const int m_looks;
    ChildProcess m_child;
    CommandLine m_lastCommand;
    Phase m_phase = Phase::Idle;
    QTimer m_stepTimer;
    int m_stepsDone = 0;
    WindowEmbedding::WindowId m_candidate = 0; // found, being taken in
    WindowEmbedding::WindowId m_window = 0;
    WindowEmbedding::WindowId m_panel = 0;
    QRect m_deviceGeometry;
    quint64 m_generation = 0; // tells an old player's delayed checks from the current one's
};
