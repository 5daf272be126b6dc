#pragma once

#include <QImage>
#include <QRect>
#include <QString>

#include <cstdint>

struct xcb_connection_t;
struct _XCBKeySymbols;

// What the window program does to the player's window over X11, done from a connection of
// the test's own: find it by title, embed it, send it keys, look at it.
class X11Probe
{
public:
    X11Probe();
    ~X11Probe();
    X11Probe(const X11Probe &) = delete;
    X11Probe &operator=(const X11Probe &) = delete;

    bool isConnected() const { return m_connection != nullptr; }

    // Breadth-first over the root's children, three levels deep (inside window-manager
    // frames); the title must match exactly and the window belong to the given process.
    uint32_t findWindow(const QString &title, qint64 pid);
    QString windowTitle(uint32_t window, bool netWmName);
    QRect geometry(uint32_t window); // relative to the parent
    uint32_t parent(uint32_t window);
    QList<uint32_t> children(uint32_t window);
    bool isViewable(uint32_t window);
    bool exists(uint32_t window);

    // Key press and release of the keysym's key, sent to the window, then a round trip so
    // the server has delivered them when this returns.
    void sendKey(uint32_t window, uint32_t keysym);
    // One key event of the two, also followed by a round trip.
    void sendKeyEvent(uint32_t window, uint32_t keysym, bool press);
    // X errors this connection got since the last call (a key sent to a window that is gone).
    int takeErrors();
    void reparent(uint32_t window, uint32_t newParent, const QRect &geometry);
    QImage grab(uint32_t window, const QRect &area);

private:
    void sync();
    uint32_t atom(const char *name);
    uint32_t cardinalProperty(uint32_t window, uint32_t property);

    xcb_connection_t *m_connection = nullptr;
    _XCBKeySymbols *m_keySymbols = nullptr;
    uint32_t m_root = 0;
};
