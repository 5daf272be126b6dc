#include "cli/terminaltext.h"

#include <QList>

using namespace Qt::StringLiterals;

namespace {

bool isControl(char32_t c)
{
    return c < 0x20 || c == 0x7f || (c >= 0x80 && c <= 0x9f);
}

// Marks, embeddings, overrides and isolates of the bidirectional algorithm, and the line and
// paragraph separators.
bool reordersText(char32_t c)
{
    return c == 0x200e || c == 0x200f || (c >= 0x2028 && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069) || c == 0x061c;
}

} // namespace

QString TerminalText(QStringView text)
{
    QString safe;
    safe.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        if (isControl(c))
            safe += u"\\x%1"_s.arg(uint(c), 2, 16, QChar(u'0'));
        else if (reordersText(c))
            safe += u"\\u%1"_s.arg(uint(c), 4, 16, QChar(u'0'));
        else
            safe += QString::fromUcs4(&c, 1);
    }
    return safe;
}
