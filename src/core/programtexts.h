#pragma once

#include <QStringView>

// Texts the program shows in more than one place, defined once.

// The program's title: window caption, message box caption, names read by assistive tools.
inline constexpr QStringView kApplicationTitle = u"TOLM Audio Converter";

// A row's Status column: waiting, just started, converted, failed.
inline constexpr QStringView kStatusReady = u"ready";
inline constexpr QStringView kStatusStarted = u"0%";
inline constexpr QStringView kStatusDone = u"100%";
inline constexpr QStringView kStatusFailed = u" -  -  -  ";
