#include "platform/windowmove.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

struct FreeReply
{
    void operator()(void *reply) const { std::free(reply); }
};
template <typename Reply> using ReplyPtr = std::unique_ptr<Reply, FreeReply>;

xcb_atom_t atom(xcb_connection_t *connection, const char *name)
{
    ReplyPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, true, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The window manager lists the requests it answers in _NET_SUPPORTED on the root window.
bool windowManagerMoves(xcb_connection_t *connection, xcb_window_t root, xcb_atom_t moveResize)
{
    const xcb_atom_t supported = atom(connection, "_NET_SUPPORTED");
    if (supported == XCB_ATOM_NONE || moveResize == XCB_ATOM_NONE)
        return false;
    ReplyPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, false, root, supported, XCB_ATOM_ATOM, 0, 4096), nullptr));
    if (!reply || reply->format != 32)
        return false;
    const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / 4;
    for (int i = 0; i < count; ++i)
        if (atoms[i] == moveResize)
            return true;
    return false;
}

xcb_window_t rootOf(xcb_connection_t *connection, xcb_window_t window)
{
    ReplyPtr<xcb_query_tree_reply_t> reply(
        xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr));
    return reply ? reply->root : xcb_window_t(XCB_WINDOW_NONE);
}

// The X server counts in device pixels from the screen's own origin.
QPoint devicePixels(const QWindow &window, QPoint global)
{
    const QScreen *screen = window.screen();
    if (!screen)
        return global;
    const QPoint origin = screen->geometry().topLeft();
    return origin + (global - origin) * window.devicePixelRatio();
}

} // namespace

bool StartSystemMove(QWindow *topLevel, QPoint globalPress)
{
    if (!topLevel)
        return false;
    // The offscreen platform may offer an X11 interface too, without a connection.
    auto *x11 = QGuiApplication::platformName() == QLatin1String("xcb")
        ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
        : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return topLevel->startSystemMove(); // other window systems take the press as it came
    const auto window = static_cast<xcb_window_t>(topLevel->winId());
    const xcb_window_t root = rootOf(connection, window);
    const xcb_atom_t moveResize = atom(connection, "_NET_WM_MOVERESIZE");
    if (root == XCB_WINDOW_NONE || !windowManagerMoves(connection, root, moveResize))
        return false;

    // The press grabbed the pointer for this program; the window manager takes it over.
    xcb_ungrab_pointer(connection, XCB_CURRENT_TIME);
    constexpr uint32_t kMove = 8;
    constexpr uint32_t kLeftButton = 1;
    constexpr uint32_t kFromApplication = 1;
    const QPoint at = devicePixels(*topLevel, globalPress);
    xcb_client_message_event_t message {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = moveResize;
    message.data.data32[0] = static_cast<uint32_t>(at.x());
    message.data.data32[1] = static_cast<uint32_t>(at.y());
    message.data.data32[2] = kMove;
    message.data.data32[3] = kLeftButton;
    message.data.data32[4] = kFromApplication;
    xcb_send_event(connection, false, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
        reinterpret_cast<const char *>(&message));
    xcb_flush(connection);
    return true;
}
