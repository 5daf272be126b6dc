#pragma once

#include <QList>
#include <QString>

// The one description of tolm-convert, from which both --help and the manual page are made,
// so the two never disagree.
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
QList<Option> options();
QList<Section> sections(); // exit status, files, examples

// --help: plain text that fits 80 columns.
QString helpText();
// The manual page in roff (man(7) macros).
QString manPage(const QString &version);

} // namespace Usage
