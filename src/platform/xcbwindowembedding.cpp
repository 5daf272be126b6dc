#include "platform/xcbwindowembedding.h"

#include <QList>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

struct FreeReply
{
    void operator()(void *reply) const { std::free(reply); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply>;

// Top-level windows, and those inside a window manager's frame (or a frame in a frame).
constexpr int kSearchDepth = 3;

constexpr uint32_t kKeysymP = 0x70;
constexpr uint32_t kKeysymQ = 0x71;

} // namespace

XcbWindowEmbedding::XcbWindowEmbedding()
{
    int screen = 0;
    xcb_connection_t *connection = xcb_connect(nullptr, &screen);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return;
    }
    m_connection = connection;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screen && it.rem > 0; ++i)
        xcb_screen_next(&it);
    m_root = it.data->root;
    m_keySymbols = xcb_key_symbols_alloc(connection);
    m_netWmName = atom("_NET_WM_NAME");
    m_netWmPid = atom("_NET_WM_PID");
    m_wmState = atom("WM_STATE");
}

XcbWindowEmbedding::~XcbWindowEmbedding()
{
    if (m_keySymbols)
        xcb_key_symbols_free(m_keySymbols);
    if (m_connection)
        xcb_disconnect(m_connection);
}

uint32_t XcbWindowEmbedding::atom(const char *name)
{
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : uint32_t(XCB_ATOM_NONE);
}

QString XcbWindowEmbedding::title(xcb_get_property_reply_t *reply, bool netWmName)
{
    if (!reply || reply->format != 8)
        return {};
    const auto *bytes = static_cast<const char *>(xcb_get_property_value(reply));
    const int size = xcb_get_property_value_length(reply);
    return netWmName ? QString::fromUtf8(bytes, size) : QString::fromLatin1(bytes, size);
}

uint32_t XcbWindowEmbedding::cardinal(xcb_get_property_reply_t *reply, bool *found)
{
    *found = reply && reply->format == 32 && xcb_get_property_value_length(reply) >= 4;
    return *found ? *static_cast<const uint32_t *>(xcb_get_property_value(reply)) : 0;
}

uint32_t XcbWindowEmbedding::cardinal(uint32_t window, uint32_t property, uint32_t type, bool *found)
{
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(m_connection, xcb_get_property(m_connection, 0, window, property, type, 0, 1), nullptr));
    return cardinal(reply.get(), found);
}

// Every question about a level of windows is sent before any answer is read, so a look costs
// a few round trips to the X server rather than a few per window: on a busy machine each one
// waits for the server to be scheduled, and the look runs on the UI thread.
WindowEmbedding::WindowId XcbWindowEmbedding::findWindow(const QString &wanted, qint64 pid)
{
    if (!m_connection)
        return 0;
    WindowId unnamed = 0;
    QList<uint32_t> level { m_root };
    for (int depth = 0; depth < kSearchDepth && !level.isEmpty(); ++depth) {
        QList<xcb_query_tree_cookie_t> trees;
        for (const uint32_t parentWindow : std::as_const(level))
            trees.append(xcb_query_tree(m_connection, parentWindow));
        QList<uint32_t> next;
        for (const xcb_query_tree_cookie_t &cookie : std::as_const(trees)) {
            Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(m_connection, cookie, nullptr));
            if (!tree)
                continue; // gone meanwhile
            const xcb_window_t *children = xcb_query_tree_children(tree.get());
            for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
                next.append(children[i]);
        }
        struct Questions
        {
            xcb_get_property_cookie_t netWmName, wmName, owner;
        };
        QList<Questions> asked;
        for (const uint32_t child : std::as_const(next)) {
            asked.append({ xcb_get_property(m_connection, 0, child, m_netWmName, XCB_GET_PROPERTY_TYPE_ANY, 0, 64),
                xcb_get_property(m_connection, 0, child, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 64),
                xcb_get_property(m_connection, 0, child, m_netWmPid, XCB_ATOM_CARDINAL, 0, 1) });
        }
        WindowId ours = 0;
        for (qsizetype i = 0; i < next.size(); ++i) {
            // Every answer is read, also after a find: an unread one would stay queued.
            Reply<xcb_get_property_reply_t> netWmName(
                xcb_get_property_reply(m_connection, asked[i].netWmName, nullptr));
            Reply<xcb_get_property_reply_t> wmName(xcb_get_property_reply(m_connection, asked[i].wmName, nullptr));
            Reply<xcb_get_property_reply_t> owner(xcb_get_property_reply(m_connection, asked[i].owner, nullptr));
            if (ours != 0 || (title(netWmName.get(), true) != wanted && title(wmName.get(), false) != wanted))
                continue;
            bool named = false;
            const uint32_t ownerPid = cardinal(owner.get(), &named);
            if (named && qint64(ownerPid) == pid)
                ours = next[i];
            else if (!named && unnamed == 0)
                unnamed = next[i];
        }
        if (ours != 0)
            return ours;
        level = next;
    }
    return unnamed;
}

// The ICCCM way to take a window back from a window manager: unmap it and tell the root; the
// manager then drops its WM_STATE. Without a manager there is nothing to ask.
void XcbWindowEmbedding::withdraw(WindowId window)
{
    if (!isManaged(window))
        return;
    xcb_unmap_window(m_connection, window);
    xcb_unmap_notify_event_t event {};
    event.response_type = XCB_UNMAP_NOTIFY;
    event.event = m_root;
    event.window = window;
    event.from_configure = 0;
    xcb_send_event(m_connection, 0, m_root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
        reinterpret_cast<const char *>(&event));
    xcb_flush(m_connection);
}

bool XcbWindowEmbedding::isManaged(WindowId window)
{
    if (!m_connection)
        return false;
    bool found = false;
    const uint32_t state = cardinal(window, m_wmState, m_wmState, &found);
    return found && state != 0;
}

bool XcbWindowEmbedding::embed(WindowId window, WindowId parent, const QRect &geometry)
{
    if (!m_connection)
        return false;
    xcb_reparent_window(m_connection, window, parent, int16_t(geometry.x()), int16_t(geometry.y()));
    const uint32_t values[]
        = { uint32_t(geometry.x()), uint32_t(geometry.y()), uint32_t(geometry.width()), uint32_t(geometry.height()) };
    xcb_configure_window(m_connection, window,
        XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
    xcb_map_window(m_connection, window);
    roundTrip();
    return isEmbedded(window, parent, geometry);
}

bool XcbWindowEmbedding::isEmbedded(WindowId window, WindowId parent, const QRect &geometry)
{
    if (!m_connection)
        return false;
    // Asked together: one round trip.
    const xcb_query_tree_cookie_t treeCookie = xcb_query_tree(m_connection, window);
    const xcb_get_geometry_cookie_t placeCookie = xcb_get_geometry(m_connection, window);
    const xcb_get_window_attributes_cookie_t attributesCookie = xcb_get_window_attributes(m_connection, window);
    Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(m_connection, treeCookie, nullptr));
    Reply<xcb_get_geometry_reply_t> place(xcb_get_geometry_reply(m_connection, placeCookie, nullptr));
    Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(m_connection, attributesCookie, nullptr));
    discardEvents();
    if (!tree || !place || !attributes || tree->parent != parent)
        return false;
    // Viewable needs the parent shown too; a hidden panel still counts as holding the window.
    return QRect(place->x, place->y, place->width, place->height) == geometry
        && attributes->map_state != XCB_MAP_STATE_UNMAPPED;
}

void XcbWindowEmbedding::sendKey(WindowId window, PlayerKey key)
{
    if (!m_connection || !m_keySymbols)
        return;
    xcb_keycode_t *codes = xcb_key_symbols_get_keycode(m_keySymbols, key == PlayerKey::Pause ? kKeysymP : kKeysymQ);
    if (!codes)
        return;
    const xcb_keycode_t code = codes[0];
    std::free(codes);
    for (const bool press : { true, false }) {
        xcb_key_press_event_t event {};
        event.response_type = press ? XCB_KEY_PRESS : XCB_KEY_RELEASE;
        event.detail = code;
        event.time = XCB_CURRENT_TIME;
        event.root = m_root;
        event.event = window;
        event.child = XCB_NONE;
        event.same_screen = 1;
        xcb_send_event(m_connection, 0, window, press ? XCB_EVENT_MASK_KEY_PRESS : XCB_EVENT_MASK_KEY_RELEASE,
            reinterpret_cast<const char *>(&event));
    }
    roundTrip();
    discardEvents(); // an error for a window that has just gone is expected, not a fault
}

void XcbWindowEmbedding::roundTrip()
{
    Reply<xcb_get_input_focus_reply_t> reply(
        xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

void XcbWindowEmbedding::discardEvents()
{
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection))
        std::free(event);
}
