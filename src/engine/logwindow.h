#pragma once

#include "core/logsink.h"

#include <QWidget>

class QPlainTextEdit;

// The transcoder's raw console text, one growing text for the whole run. Created hidden;
// closing it only hides it, and text appended while hidden is there when it shows again.
class TlogFrm : public QWidget, public LogSink
{
    Q_OBJECT

public:
    explicit TlogFrm(QWidget *parent = nullptr);

    void append(const QString &text, View view) override;
    // The log button: hides the window when it shows, shows it otherwise.
    void toggle();
    QString text() const { return m_text; }

    QPlainTextEdit *Memo1 = nullptr;

    static constexpr QStringView kWelcome = u"You are welcome!";

private:
    QString m_text;
};
