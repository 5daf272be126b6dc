#pragma once

#include <QObject>
#include <QString>

#include <memory>

// Keeps the system from sleeping or shutting down while the program holds a lock, and tells
// the program when a sleep happens all the same. This base class is the do-nothing back-end
// (no session service to ask): it holds nothing and never announces a sleep.
class Inhibitor : public QObject
{
    Q_OBJECT

public:
    enum class What { Sleep, Shutdown };

    explicit Inhibitor(QObject *parent = nullptr);
    ~Inhibitor() override;

    // Takes a blocking lock of that kind whose reason the desktop shows to the user. False,
    // with errorText() set, when the lock was refused; the program goes on without it.
    virtual bool hold(What what, const QString &reason);
    // Gives every lock back at once; harmless when none is held.
    virtual void releaseAll() { }
    virtual bool holds(What what) const;
    QString errorText() const { return m_errorText; }

    static QString whatName(What what);

Q_SIGNALS:
    // The system is about to sleep (no blocking lock stopped it).
    void prepareForSleep();

protected:
    QString m_errorText;
};

// The back-end for the running program: systemd-logind on the system bus.
std::unique_ptr<Inhibitor> CreateSystemInhibitor();
