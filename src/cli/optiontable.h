#pragma once

#include "cli/convertoptions.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <span>

// What the bash completion offers for an option's value.
enum class ValueCompletion {
    Nothing, // a number or a time
    Words, // the words of the value name: "high|normal|low"
    Folder,
    Profile, // the profiles' extensions and first words, as --list-profiles tells them
};

// One option of tolm-convert, declared once: the parser, --help, the manual page and the bash
// completion are all made from the table of these.
struct ConvertOption
{
    // An option with its value, as the parser hands it to take().
    struct Given
    {
        const ConvertOption &option;
        QString name; // as typed: "-q" or "--quality"
        QString value; // empty for a switch
    };

    QStringView shortName; // "-p"; empty when there is none
    QStringView longName; // "--profile"
    QStringView valueName; // "NAME"; empty for a switch
    ValueCompletion completion;
    QStringView help; // one paragraph
    // Stores the option in the options; returns why its value is refused, or an empty text.
    QString (*take)(ConvertOptions &options, const Given &given);

    bool takesValue() const { return !valueName.isEmpty(); }
    bool isNamed(QStringView name) const { return name == longName || (!shortName.isEmpty() && name == shortName); }
    QString names() const; // "-p, --profile"
    QStringList words() const; // the choices a Words value name lists
};

std::span<const ConvertOption> ConvertOptionTable();
