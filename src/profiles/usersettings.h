#pragma once

#include <QString>

// The user's own choices that are no part of a profile, kept across starts in
// <config>/tolm-audio-converter/settings.ini.
namespace UserSettings {

QString filePath();

// "Simultaneous conversions": how many rows convert side by side, 1 when never chosen;
// always within 1 and the number of processors.
int simultaneousConversions();
void setSimultaneousConversions(int count);

} // namespace UserSettings
