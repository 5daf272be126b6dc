#pragma once

#include <QLineEdit>

// A time-code field typed over one character at a time: the character after the caret is
// always selected, a digit replaces it, the colons cannot be typed over, Backspace moves one
// place left and never deletes, and nothing but digits gets in.
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

private:
    int caret() const;
    void selectAt(int position);
};
