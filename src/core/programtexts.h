#pragma once

#include <QStringView>

// Texts the program shows in more than one place, defined once.

// The program's title: window caption, message box caption, names read by assistive tools.
inline constexpr QStringView kApplicationTitle = u"TOLM Audio Converter";
// Asked when the busy Start button or Esc is pressed while a batch runs.
inline constexpr QStringView kStopQuestion = u"Stop the conversion?";

// A row's Status column: waiting, just started, converted, failed.
inline constexpr QStringView kStatusReady = u"ready";
inline constexpr QStringView kStatusStarted = u"0%";
inline constexpr QStringView kStatusDone = u"100%";
inline constexpr QStringView kStatusFailed = u" -  -  -  ";

// The licence the whole program is under, in the About box, tolm-convert --version and the
// manual; the SPDX identifier is the one the metainfo and the package's copyright file give.
inline constexpr QStringView kLicenceName = u"GNU General Public License, version 3 or later";
inline constexpr QStringView kLicenceSpdx = u"GPL-3.0-or-later";
