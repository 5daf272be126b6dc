#pragma once

#include <QString>

#include <stdexcept>

// The one failure the program raises as an exception: a text that should hold a number
// does not. It ends the user action that asked for the number and is shown by the
// event-dispatch boundary in a message box; state the action already changed stays changed.
class ConversionFailure : public std::runtime_error
{
public:
    explicit ConversionFailure(const QString &message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    { }

    QString message() const { return m_message; }

private:
    QString m_message;
};
