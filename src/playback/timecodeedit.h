#pragma once

#include "playback/timecodeentry.h"

#include <QLineEdit>

#include <optional>

// A time-code field typed over one character at a time: the character after the caret is
// always selected, a digit replaces it, the colons cannot be typed over, Backspace moves one
// place left and never deletes, and nothing but digits gets in. Ctrl+A selects the whole
// text for a new time typed over it (TimeCodeEntry), which is handed on as one edit
// (textEdited) when it is full or the field is left; Escape gives the old text back.
class TimeCodeEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit TimeCodeEdit(QWidget *parent = nullptr);

    // Selects the character after the caret (none at the end).
    void selectCaretCharacter();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    bool event(QEvent *event) override;

private:
    int caret() const;
    void selectAt(int position);
    // True when the key belonged to the whole-text entry.
    bool entryKey(QKeyEvent *event);
    void showEntry();
    void finishEntry();

    std::optional<TimeCodeEntry> m_entry;
};
