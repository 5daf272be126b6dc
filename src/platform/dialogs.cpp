#include "platform/dialogs.h"

MessageRequest MessageRequest::plain(const QString &text)
{
    return { text, kApplicationTitle.toString(), DialogIcon::None, DialogButtons::Ok, DialogPlacement::ScreenCentre };
}

MessageRequest MessageRequest::confirmation(
    const QString &text, const QString &caption, DialogIcon::Kind icon, DialogButtons buttons)
{
    return { text, caption, icon, buttons, DialogPlacement::ConfirmOffset };
}
