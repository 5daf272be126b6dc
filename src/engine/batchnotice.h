#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class ConversionEngine;
class Notifier;

// Counts how the rows of a batch ended and, when the batch has been worked through while the
// user looks at something else, says so in a desktop notification; a click on it emits
// activated() so the window can come back. An abandoned batch says nothing.
class BatchNotice : public QObject
{
    Q_OBJECT

public:
    BatchNotice(ConversionEngine &queue, std::unique_ptr<Notifier> notifier, std::function<bool()> userIsLooking,
        QObject *parent = nullptr);
    ~BatchNotice() override;

    int converted() const { return m_converted; }
    int failed() const { return m_failed; }

    static QString summaryText();
    static QString bodyText(int converted, int failed);

Q_SIGNALS:
    void activated();

private:
    void countRow(bool converted);
    void batchEnded();

    ConversionEngine &m_queue;
    std::unique_ptr<Notifier> m_notifier;
    std::function<bool()> m_userIsLooking;
    int m_converted = 0;
    int m_failed = 0;
};
