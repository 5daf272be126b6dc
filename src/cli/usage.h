#pragma once

#include <QList>
#include <QString>

// The one description of tolm-convert, from which --help, the manual page and the bash
// completion are made, so they never disagree with each other or with the parser.
namespace Usage {

struct Option
{
    QString names; // "-p, --profile"
    QString argument; // "NAME", empty for a switch
    QString text; // one paragraph
};

struct Section
{
    QString title; // "Exit status"
    QList<Option> entries; // term and text pairs, shown like options
};

inline constexpr QStringView kProgramName = u"tolm-convert";

QString synopsis(); // tolm-convert [options] FILE|FOLDER...
QString summary(); // one line
QString description(); // paragraphs separated by blank lines
QList<Option> options(); // from the option table the parser reads
QList<Section> sections(); // exit status, files, examples

// --help: plain text that fits 80 columns.
QString helpText();
// The manual page in roff (man(7) macros).
QString manPage(const QString &version);
// The bash completion script: the options, and for each value what may be typed there.
QString bashCompletion();

} // namespace Usage
