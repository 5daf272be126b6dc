#pragma once

#include <QString>

#include <optional>

// The trim dialog's rules for its two time fields, free of widgets.

enum class TrimField { Start, End };

// Seconds of a time of day written hh:mm:ss (hours 0 to 23); nothing for any other text.
std::optional<int> TimeOfDaySeconds(const QString &text);

// A typed tens digit of minutes or seconds above 5 becomes 0 ("00:70:00" gives "00:00:00").
QString WithTensDigitsFixed(const QString &text);

// What a change of one field leads to.
struct TrimCheck
{
    enum Outcome {
        Accepted, // length and selection follow the fields
        Undo, // end before start, or past the file's end: the field goes back
        NotATime, // the field is no time of day: message shown, nothing else changes
    };
    Outcome outcome = Accepted;
    QString length; // Accepted: end minus start, hh:mm:ss
    int selectionSeconds = 0; // Accepted: the new selection start (Start) or end (End)
    QString message; // NotATime: "'<text>' is not a valid time."
};

// Checks the fields after `field` changed; both texts have had their tens digits fixed.
// Equal times pass: a zero length and an end exactly at the file's end are accepted.
TrimCheck CheckTrimField(TrimField field, const QString &startText, const QString &endText, int durationSeconds);

// The end time a job's start and length give, hh:mm:ss.
QString TrimEndText(const QString &startText, const QString &lengthText);
