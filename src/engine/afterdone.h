#pragma once

#include <QString>

#include <functional>

class PowerControl;

// What happens once a batch has been worked through, by the index of the "After  Done :"
// chooser's items, in their order.
enum class AfterDoneAction { NoAction, BrowseOutput, TurnOff, Hibernate, StandBy };

inline constexpr QStringView kHibernateFailed = u"Can't  Hiberate !";
inline constexpr QStringView kStandByFailed = u"Can't  StandBy !";

struct AfterDoneHooks
{
    std::function<void()> openOutputFolder;
    std::function<void()> closeMainWindow;
    std::function<void(const QString &)> showMessage;
    // The program's normal shutdown (children ended, history written, the process ends).
    std::function<void()> endProgram;
    PowerControl *power = nullptr;
};

// Runs the action. Turn Off closes the main window before it asks for the power-off;
// Hibernate and Stand By close the window, then ask, and say so when the request was
// refused (logind asks polkit when the request is made: there is no privilege to take ahead). A failed power-off is not
// reported. Each of the three then ends the program, whatever the answer: with its window closed it would otherwise
// live on unseen and swallow every later start.
void RunAfterDoneAction(int index, const AfterDoneHooks &hooks);
