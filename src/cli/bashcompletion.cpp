#include "cli/optiontable.h"
#include "cli/usage.h"

#include <QList>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// The lines that fill COMPREPLY for the option's value; empty when nothing is offered.
QString valueCompletion(const ConvertOption &option)
{
    switch (option.completion) {
    case ValueCompletion::Nothing:
        return {};
    case ValueCompletion::Words:
        return u"        COMPREPLY=($(compgen -W \"%1\" -- \"$cur\"))\n"_s.arg(option.words().join(u' '));
    case ValueCompletion::Folder:
        return u"        COMPREPLY=($(compgen -d -- \"$cur\"))\n"_s;
    case ValueCompletion::Profile:
        // Each profile's extension and the first word of its name; the program tells them.
        return uR"sh(        local IFS=$'\n' words
        words=$("${COMP_WORDS[0]}" --list-profiles 2>/dev/null |
            sed -n -e 's/^\([^ ][^ ]*\).*(\*\.\([A-Za-z0-9]*\)).*$/\1\n\2/p' | tr 'A-Z' 'a-z' | sort -u)
        COMPREPLY=($(compgen -W "$words" -- "${cur,,}"))
)sh"_s;
    }
    return {};
}

} // namespace

namespace Usage {

QString bashCompletion()
{
    // Options whose values complete alike share one arm of the case.
    QList<std::pair<QString, QStringList>> arms; // what is offered, the option names
    QStringList everyName;
    for (const ConvertOption &option : ConvertOptionTable()) {
        QStringList names { option.longName.toString() };
        if (!option.shortName.isEmpty())
            names.prepend(option.shortName.toString());
        everyName << names;
        if (!option.takesValue())
            continue;
        const QString offered = valueCompletion(option);
        const auto arm
            = std::find_if(arms.begin(), arms.end(), [&](const auto &known) { return known.first == offered; });
        if (arm == arms.end())
            arms.append({ offered, names });
        else
            arm->second << names;
    }

    QString out = u"# bash completion for tolm-convert, written by the build from the program's option table\n"
                  u"_tolm_convert()\n{\n"
                  u"    local cur prev\n"
                  u"    cur=${COMP_WORDS[COMP_CWORD]}\n"
                  u"    prev=${COMP_WORDS[COMP_CWORD-1]}\n\n"
                  u"    case $prev in\n"_s;
    for (const auto &[offered, names] : arms)
        out += u"    "_s + names.join(u" | "_s) + u")\n"_s + offered + u"        return\n        ;;\n"_s;
    out += u"    esac\n\n"
           u"    if [[ $cur == -* ]]; then\n"
           u"        COMPREPLY=($(compgen -W \"%1\" -- \"$cur\"))\n"
           u"        return\n"
           u"    fi\n"
           u"    COMPREPLY=($(compgen -f -- \"$cur\"))\n"
           u"}\n"
           u"complete -o filenames -F _tolm_convert %2\n"_s.arg(everyName.join(u' '), kProgramName);
    return out;
}

} // namespace Usage
