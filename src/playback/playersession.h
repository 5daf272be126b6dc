#pragma once

#include "core/commandline.h"
#include "platform/childprocess.h"
#include "platform/windowembedding.h"

#include <QObject>
#include <QRect>

// One preview player at a time for one panel: started from its command, its window looked
// for and taken into the panel, then driven by keys. Only the player children this program
// started are ever ended.
class PlayerSession : public QObject
{
    Q_OBJECT

public:
    enum class Start { Embedded, Failed, NoWindow };

    // The player's window inside the panel, in the panel's logical pixels.
    static constexpr QRect kEmbeddedGeometry { -5, -33, 272, 232 };
    static constexpr int kLookIntervalMs = 50;
    // How long a player that was told to quit may take before it is ended.
    static constexpr int kQuitGraceMs = 2000;

    PlayerSession(WindowEmbedding &windows, int looks, QObject *parent = nullptr);
    ~PlayerSession() override;

    // Ends every player this program started, starts `command`, and looks for its window up
    // to `looks` times, 50 ms apart, holding the caller meanwhile. A found window is taken
    // into `panel` (scaled by the panel's device pixel ratio). A player whose window does not
    // show is ended.
    Start start(const CommandLine &command, WindowEmbedding::WindowId panel, qreal devicePixelRatio);
    QString errorText() const { return m_child.errorText(); }
    const CommandLine &lastCommand() const { return m_lastCommand; }
    qint64 processId() const { return m_child.processId(); }
    bool isRunning() const { return m_child.isRunning(); }

    // A player is known while its window is.
    bool isKnown() const { return m_window != 0; }
    WindowEmbedding::WindowId window() const { return m_window; }

    // Sends the key to the known player; nothing without one.
    void sendKey(PlayerKey key);
    // The player is no longer ours to talk to; it is not told anything.
    void forget() { m_window = 0; }
    // Sends Q to the known player and forgets it; a player that does not go within the grace
    // time is ended.
    void quit();
    // Ends our player now, whatever state it is in.
    void end();

private:
    void checkEmbedding();

    WindowEmbedding &m_windows;
    const int m_looks;
    ChildProcess m_child;
    CommandLine m_lastCommand;
    WindowEmbedding::WindowId m_window = 0;
    WindowEmbedding::WindowId m_panel = 0;
    QRect m_deviceGeometry;
    int m_checksDone = 0;
    quint64 m_generation = 0; // tells an old player's delayed checks from the current one's
};
