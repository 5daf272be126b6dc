#pragma once

#include "core/programversion.h"
#include "platform/dialogs.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class ConversionEngine;
class Inhibitor;

inline constexpr QStringView kSystemMessageCaption = u"System Message";
inline constexpr QStringView kRunningLine = u"TOLM Audio Converter  " TOLM_PROGRAM_VERSION " is running!";
inline constexpr QStringView kNoSleepLine = u"NO Hiberate or Standby!";
inline constexpr QStringView kNoSessionEndLine = u"NO Turning off!";

// What the program answers when the system wants to sleep or end the session.
struct GuardAnswer
{
    bool allow = true;
    bool stopPreview = false;
    bool bringToFront = false;
    std::optional<MessageRequest> message;
};

// A sleep announced while no conversion runs stops the preview; during a conversion it is
// refused with the message, the window brought to the front first.
GuardAnswer AnswerPowerChange(bool converting);
// The end of the session likewise, except that the window stays where it is.
GuardAnswer AnswerSessionEnd(bool converting);

// While a batch runs the system may neither sleep nor shut down: block locks whose reasons
// are the program's messages are taken as the queue starts and given back as it ends, however
// it ends (the last row, an abandoned run, a transcoder that died, the program going away). A
// lock the system refuses is reported through logLine() and the batch converts all the same.
class SessionGuard : public QObject
{
    Q_OBJECT

public:
    SessionGuard(ConversionEngine &queue, std::unique_ptr<Inhibitor> inhibitor, QObject *parent = nullptr);
    ~SessionGuard() override;

    // Gives the locks back now (the program is shutting down, the run was abandoned).
    void release();
    const Inhibitor &inhibitor() const { return *m_inhibitor; }

    static QString sleepReason();
    static QString sessionEndReason();

Q_SIGNALS:
    // The system is about to sleep all the same.
    void prepareForSleep();
    // A line for the program's log (a lock the system refused).
    void logLine(const QString &line);

private:
    void holdLocks();

    std::unique_ptr<Inhibitor> m_inhibitor;
};
