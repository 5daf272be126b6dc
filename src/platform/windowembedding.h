#pragma once

#include <QRect>
#include <QString>

#include <memory>

// The two keys the preview player obeys: P toggles pause, Q quits.
enum class PlayerKey { Pause, Quit };

// Hosting the preview player's window, a window of another process, inside one of ours, and
// talking to it with keys. Window ids are the windowing system's own.
class WindowEmbedding
{
public:
    using WindowId = quint32;

    virtual ~WindowEmbedding() = default;

    // One look for a top-level window titled exactly `title` (also inside a window manager's
    // frame). The window that names `pid` as its owner wins; a window that names another
    // owner is never taken; one that names none is taken only when no window names `pid`,
    // so another program's window of that title is not taken while ours can be told apart.
    // 0 when there is none.
    virtual WindowId findWindow(const QString &title, qint64 pid) = 0;

    // Asks a window manager that manages `window` to give it back, and returns at once;
    // isManaged() tells when it has. Nothing to do where no manager has it.
    virtual void withdraw(WindowId window) { Q_UNUSED(window) }
    // Whether a window manager still manages `window`: it would undo an embedding.
    virtual bool isManaged(WindowId window)
    {
        Q_UNUSED(window)
        return false;
    }

    // Makes `window` a shown child of `parent` at `geometry` (device pixels, relative to the
    // parent). False when it did not end up there.
    virtual bool embed(WindowId window, WindowId parent, const QRect &geometry) = 0;

    // Whether `window` is a viewable child of `parent` at `geometry`: a window manager may
    // take back a window it managed, and the embedding is then done again.
    virtual bool isEmbedded(WindowId window, WindowId parent, const QRect &geometry) = 0;

    // Key press, then key release of `key`, sent to `window`; returns once the windowing
    // system has delivered both. A window that is gone is passed over.
    virtual void sendKey(WindowId window, PlayerKey key) = 0;
};

// The windowing system's embedding when the program runs on X11; otherwise one that finds no
// window, so a preview then starts and ends its player without showing it.
std::unique_ptr<WindowEmbedding> CreateWindowEmbedding();
