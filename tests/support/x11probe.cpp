#include "x11probe.h"

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

constexpr int kSearchDepth = 3;

} // namespace

X11Probe::X11Probe()
{
    int screen = 0;
    xcb_connection_t *connection = xcb_connect(nullptr, &screen);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return;
    }
    m_connection = connection;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screen; ++i)
        xcb_screen_next(&it);
    m_root = it.data->root;
    m_keySymbols = xcb_key_symbols_alloc(connection);
}

X11Probe::~X11Probe()
{
    if (m_keySymbols)
        xcb_key_symbols_free(m_keySymbols);
    if (m_connection)
        xcb_disconnect(m_connection);
}

uint32_t X11Probe::atom(const char *name)
{
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : uint32_t(XCB_ATOM_NONE);
}

QString X11Probe::windowTitle(uint32_t window, bool netWmName)
{
    const uint32_t property = netWmName ? atom("_NET_WM_NAME") : uint32_t(XCB_ATOM_WM_NAME);
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 256), nullptr));
    if (!reply || reply->format != 8)
        return {};
    const auto *bytes = static_cast<const char *>(xcb_get_property_value(reply.get()));
    const int size = xcb_get_property_value_length(reply.get());
    return netWmName ? QString::fromUtf8(bytes, size) : QString::fromLatin1(bytes, size);
}

uint32_t X11Probe::cardinalProperty(uint32_t window, uint32_t property)
{
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, window, property, XCB_ATOM_CARDINAL, 0, 1), nullptr));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4)
        return 0;
    return *static_cast<const uint32_t *>(xcb_get_property_value(reply.get()));
}

uint32_t X11Probe::findWindow(const QString &title, qint64 pid)
{
    const uint32_t pidAtom = atom("_NET_WM_PID");
    QList<uint32_t> level { m_root };
    for (int depth = 0; depth < kSearchDepth && !level.isEmpty(); ++depth) {
        QList<uint32_t> next;
        for (const uint32_t parentWindow : level) {
            Reply<xcb_query_tree_reply_t> tree(
                xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, parentWindow), nullptr));
            if (!tree)
                continue;
            const xcb_window_t *children = xcb_query_tree_children(tree.get());
            for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
                const bool titled = windowTitle(children[i], true) == title || windowTitle(children[i], false) == title;
                if (titled && cardinalProperty(children[i], pidAtom) == pid)
                    return children[i];
                next.append(children[i]);
            }
        }
        level = next;
    }
    return 0;
}

QRect X11Probe::geometry(uint32_t window)
{
    Reply<xcb_get_geometry_reply_t> reply(
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr));
    return reply ? QRect(reply->x, reply->y, reply->width, reply->height) : QRect();
}

uint32_t X11Probe::parent(uint32_t window)
{
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, window), nullptr));
    return tree ? tree->parent : 0;
}

QList<uint32_t> X11Probe::children(uint32_t window)
{
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, window), nullptr));
    if (!tree)
        return {};
    const xcb_window_t *first = xcb_query_tree_children(tree.get());
    return QList<uint32_t>(first, first + xcb_query_tree_children_length(tree.get()));
}

bool X11Probe::isViewable(uint32_t window)
{
    Reply<xcb_get_window_attributes_reply_t> reply(
        xcb_get_window_attributes_reply(m_connection, xcb_get_window_attributes(m_connection, window), nullptr));
    return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
}

bool X11Probe::exists(uint32_t window)
{
    return geometry(window).isValid();
}

void X11Probe::sendKey(uint32_t window, uint32_t keysym)
{
    sendKeyEvent(window, keysym, true);
    sendKeyEvent(window, keysym, false);
}

void X11Probe::sendKeyEvent(uint32_t window, uint32_t keysym, bool press)
{
    xcb_keycode_t *codes = xcb_key_symbols_get_keycode(m_keySymbols, keysym);
    if (!codes)
        return;
    xcb_key_press_event_t event {};
    event.response_type = press ? XCB_KEY_PRESS : XCB_KEY_RELEASE;
    event.detail = codes[0];
    std::free(codes);
    event.time = XCB_CURRENT_TIME;
    event.root = m_root;
    event.event = window;
    event.child = XCB_NONE;
    event.same_screen = 1;
    const uint32_t mask = press ? XCB_EVENT_MASK_KEY_PRESS : XCB_EVENT_MASK_KEY_RELEASE;
    xcb_send_event(m_connection, 0, window, mask, reinterpret_cast<const char *>(&event));
    sync();
}

int X11Probe::takeErrors()
{
    int errors = 0;
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
        if (event->response_type == 0)
            ++errors;
        std::free(event);
    }
    return errors;
}

void X11Probe::reparent(uint32_t window, uint32_t newParent, const QRect &geometry)
{
    xcb_reparent_window(m_connection, window, newParent, int16_t(geometry.x()), int16_t(geometry.y()));
    const uint32_t values[]
        = { uint32_t(geometry.x()), uint32_t(geometry.y()), uint32_t(geometry.width()), uint32_t(geometry.height()) };
    xcb_configure_window(m_connection, window,
        XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
    xcb_map_window(m_connection, window);
    sync();
}

QImage X11Probe::grab(uint32_t window, const QRect &area)
{
    Reply<xcb_get_image_reply_t> reply(xcb_get_image_reply(m_connection,
        xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window, int16_t(area.x()), int16_t(area.y()),
            uint16_t(area.width()), uint16_t(area.height()), ~0u),
        nullptr));
    if (!reply || reply->depth < 24)
        return {};
    const auto *data = xcb_get_image_data(reply.get());
    const int bytesPerLine = xcb_get_image_data_length(reply.get()) / area.height();
    return QImage(data, area.width(), area.height(), bytesPerLine, QImage::Format_RGB32).copy();
}

void X11Probe::sync()
{
    Reply<xcb_get_input_focus_reply_t> reply(
        xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}
