#include "x11windowwatch.h"

#include <QGuiApplication>
#include <QTimer>
#include <QWidget>

#include <xcb/xcb.h>

#include <cmath>
#include <cstring>
#include <memory>

namespace {

struct FreeReply
{
    void operator()(void *reply) const { std::free(reply); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply>;

} // namespace

X11WindowWatch *X11WindowWatch::create(QWidget *window)
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return nullptr;
    return new X11WindowWatch(window, x11->connection());
}

X11WindowWatch::X11WindowWatch(QWidget *window, xcb_connection_t *connection)
    : QObject(window)
    , m_window(window)
    , m_connection(connection)
    , m_id(uint32_t(window->winId()))
{
    qGuiApp->installNativeEventFilter(this);
}

X11WindowWatch::~X11WindowWatch()
{
    qGuiApp->removeNativeEventFilter(this);
}

bool X11WindowWatch::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    switch (event->response_type & 0x7f) {
    case XCB_DESTROY_NOTIFY:
        if (reinterpret_cast<const xcb_destroy_notify_event_t *>(event)->window == m_id)
            Q_EMIT windowDestroyed();
        break;
    case XCB_REPARENT_NOTIFY:
    case XCB_CONFIGURE_NOTIFY:
        // Both events start with the same fields: the window that moved is at the same place.
        if (reinterpret_cast<const xcb_configure_notify_event_t *>(event)->window == m_id && !m_measureQueued) {
            // Measured after the event loop has caught up, once for a burst of changes.
            m_measureQueued = true;
            QTimer::singleShot(0, this, &X11WindowWatch::measureVisibleArea);
        }
        break;
    default:
        break;
    }
    return false;
}

void X11WindowWatch::measureVisibleArea()
{
    m_measureQueued = false;
    Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_id), nullptr));
    Reply<xcb_get_geometry_reply_t> own(
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, m_id), nullptr));
    if (!tree || !own)
        return;
    QRect visible(0, 0, own->width, own->height);
    if (tree->parent != tree->root) {
        Reply<xcb_get_geometry_reply_t> parent(
            xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, tree->parent), nullptr));
        if (parent) {
            // The parent clips us: only the part of us inside its rectangle shows.
            const QRect ownInParent(own->x, own->y, own->width, own->height);
            visible = (ownInParent & QRect(0, 0, parent->width, parent->height)).translated(-own->x, -own->y);
        }
    }
    const qreal ratio = m_window->devicePixelRatioF();
    const QRect logical(QPoint(int(std::floor(visible.left() / ratio)), int(std::floor(visible.top() / ratio))),
        QPoint(int(std::ceil((visible.right() + 1) / ratio)) - 1, int(std::ceil((visible.bottom() + 1) / ratio)) - 1));
    Q_EMIT visibleAreaChanged(logical);
}

uint32_t X11WindowWatch::atom(const char *name)
{
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 1, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : uint32_t(XCB_ATOM_NONE);
}

// A child of the root, or a window a window manager manages (it keeps WM_STATE on it while it
// is not withdrawn, inside a frame of its own); anything else is a host's window.
bool X11WindowWatch::isTopLevel()
{
    Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_id), nullptr));
    if (!tree)
        return false;
    if (tree->parent == tree->root)
        return true;
    const uint32_t wmState = atom("WM_STATE");
    if (wmState == XCB_ATOM_NONE)
        return false;
    Reply<xcb_get_property_reply_t> state(
        xcb_get_property_reply(m_connection, xcb_get_property(m_connection, 0, m_id, wmState, wmState, 0, 1), nullptr));
    constexpr uint32_t kWithdrawn = 0;
    return state && state->format == 32 && xcb_get_property_value_length(state.get()) >= 4
        && *static_cast<const uint32_t *>(xcb_get_property_value(state.get())) != kWithdrawn;
}

void X11WindowWatch::takeKeyboardIfTopLevel()
{
    if (!isTopLevel())
        return;
    xcb_set_input_focus(m_connection, XCB_INPUT_FOCUS_PARENT, m_id, XCB_CURRENT_TIME);
    xcb_flush(m_connection);
}

void X11WindowWatch::flush()
{
    xcb_flush(m_connection);
}
