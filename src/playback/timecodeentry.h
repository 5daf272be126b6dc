#pragma once

#include <QString>

// A whole time code typed over a time field whose text was selected as a whole (Ctrl+A).
// The keys fill it from the left over the old text, and it is judged once, when it is
// complete or the field is left, never after each key: the first digits of "00:00:35" typed
// over "00:00:52" are no time the user meant, and judging them could empty the selection.
class TimeCodeEntry
{
public:
    explicit TimeCodeEntry(const QString &before);

    // One typed character. A digit fills the next digit place, stepping over a colon that
    // stands there; a colon steps over the colon that stands next. False, and nothing
    // changes, for any other key, a colon where a digit belongs, or once the entry is full.
    bool type(QChar key);
    // Backspace: one place back, where the old text's character comes back.
    void back();

    const QString &before() const { return m_before; }
    // The typed characters followed by the rest of the old text.
    const QString &text() const { return m_text; }
    int position() const { return m_position; } // the next place to fill
    bool typedAny() const { return m_position > 0; }
    bool isComplete() const { return m_position >= m_text.size(); }

private:
    bool isColonPlace(int position) const;

    QString m_before;
    QString m_text;
    int m_position = 0;
};
