#include "engine/afterdone.h"

#include "platform/powercontrol.h"

void RunAfterDoneAction(int index, const AfterDoneHooks &hooks)
{
    switch (AfterDoneAction(index)) {
    case AfterDoneAction::NoAction:
        return;
    case AfterDoneAction::BrowseOutput:
        hooks.openOutputFolder();
        return;
    case AfterDoneAction::TurnOff:
        hooks.closeMainWindow();
        hooks.power->request(PowerControl::Request::PowerOff);
        hooks.endProgram();
        return;
    case AfterDoneAction::Hibernate:
    case AfterDoneAction::StandBy: {
        const bool hibernate = AfterDoneAction(index) == AfterDoneAction::Hibernate;
        hooks.closeMainWindow();
        if (!hooks.power->request(hibernate ? PowerControl::Request::Hibernate : PowerControl::Request::Suspend))
            hooks.showMessage((hibernate ? kHibernateFailed : kStandByFailed).toString());
        hooks.endProgram();
        return;
    }
    }
}
