#pragma once

#include "platform/windowembedding.h"

#include <cstdint>

struct xcb_connection_t;
struct xcb_get_property_reply_t;
struct _XCBKeySymbols;

// X11 back-end, on a connection of its own so that the player's errors (a window that went
// away between two requests) never reach the toolkit's connection.
class XcbWindowEmbedding final : public WindowEmbedding
{
public:
    XcbWindowEmbedding();
    ~XcbWindowEmbedding() override;
    XcbWindowEmbedding(const XcbWindowEmbedding &) = delete;
    XcbWindowEmbedding &operator=(const XcbWindowEmbedding &) = delete;

    bool isConnected() const { return m_connection != nullptr; }

    WindowId findWindow(const QString &title, qint64 pid) override;
    void withdraw(WindowId window) override;
    bool isManaged(WindowId window) override;
    bool embed(WindowId window, WindowId parent, const QRect &geometry) override;
    bool isEmbedded(WindowId window, WindowId parent, const QRect &geometry) override;
    void sendKey(WindowId window, PlayerKey key) override;

private:
    uint32_t atom(const char *name);
    static QString title(xcb_get_property_reply_t *reply, bool netWmName);
    // The first 32-bit value of the window's `property`; `found` tells whether it has one.
    uint32_t cardinal(uint32_t window, uint32_t property, uint32_t type, bool *found);
    static uint32_t cardinal(xcb_get_property_reply_t *reply, bool *found);
    void discardEvents();
    void roundTrip();

    xcb_connection_t *m_connection = nullptr;
    _XCBKeySymbols *m_keySymbols = nullptr;
    uint32_t m_root = 0;
    uint32_t m_netWmName = 0;
    uint32_t m_netWmPid = 0;
    uint32_t m_wmState = 0;
};
