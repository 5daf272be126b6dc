#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QRect>

#include <cstdint>

struct xcb_connection_t;
class QWidget;

// Watches the preview's X11 window from the outside: whether a host has taken it in and how
// much of it the host shows, and whether it has been destroyed (its host died with it).
class X11WindowWatch : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    // Null when the application does not run on X11.
    static X11WindowWatch *create(QWidget *window);
    ~X11WindowWatch() override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

    // A click into the window while it is a top-level of its own gives it the keyboard (it
    // does not take the focus when it appears). Embedded, it leaves the focus with its host:
    // X already sends it the keys typed while the pointer is over it.
    void takeKeyboardIfTopLevel();
    // Sends what Qt has queued for the server, so the window shows before a long job.
    void flush();

Q_SIGNALS:
    void windowDestroyed();
    // In the window's logical coordinates.
    void visibleAreaChanged(const QRect &area);

private:
    X11WindowWatch(QWidget *window, xcb_connection_t *connection);
    void measureVisibleArea();
    bool isTopLevel();
    uint32_t atom(const char *name);

    QWidget *m_window;
    xcb_connection_t *m_connection;
    uint32_t m_id;
    bool m_measureQueued = false;
};
