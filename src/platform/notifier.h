#pragma once

#include <QObject>
#include <QString>

#include <memory>

// Desktop notifications (the bubbles a desktop shows in a corner). This base class is the
// do-nothing back-end: without a notification service nothing is shown and nothing fails.
class Notifier : public QObject
{
    Q_OBJECT

public:
    explicit Notifier(QObject *parent = nullptr);
    ~Notifier() override;

    // Shows a notification; a click on it emits activated(). Never waits for the desktop.
    virtual void notify(const QString &summary, const QString &body);

Q_SIGNALS:
    // The user clicked the last notification shown.
    void activated();
};

// The back-end for the running program: the freedesktop Notifications service on the
// session bus.
std::unique_ptr<Notifier> CreateDesktopNotifier();
