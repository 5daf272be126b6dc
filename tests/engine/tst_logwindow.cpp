#include "engine/logwindow.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QString manyLines(const QString &word, int count)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += u"%1 %2 with a line long enough to need the horizontal scroll bar as well\n"_s.arg(word).arg(i);
    return text;
}

} // namespace

class TestLogWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initialState()
    {
        QWidget owner;
        TlogFrm log(&owner);
        QCOMPARE(log.objectName(), u"logFrm"_s);
        QCOMPARE(log.windowTitle(), u"LOG"_s);
        QVERIFY(log.isWindow());
        QVERIFY(!log.isVisible());
        QCOMPARE(log.geometry(), QRect(700, 182, 397, 366));
        QCOMPARE(log.minimumSize(), QSize(130, 23));
        QCOMPARE(log.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX)); // resizable, and it wraps
        QCOMPARE(log.Memo1->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        QCOMPARE(qRound(log.windowOpacity() * 255), 235);
        QVERIFY(!(log.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(log.windowFlags() & Qt::WindowMaximizeButtonHint);
        QVERIFY(log.windowFlags() & Qt::WindowCloseButtonHint);

        QCOMPARE(log.Memo1->objectName(), u"Memo1"_s);
        QCOMPARE(log.Memo1->toPlainText(), u"You are welcome!\n"_s);
        QCOMPARE(log.text(), u"You are welcome!\n"_s);
        QVERIFY(log.Memo1->isReadOnly());
        QCOMPARE(log.Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(log.Memo1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QVERIFY(!log.Memo1->accessibleName().isEmpty());
    }

    void appendsAddAtTheEndWithoutSeparator()
    {
        TlogFrm log;
        log.append(u"Duration: 00:00:05.00"_s, LogSink::View::Beginning);
        log.append(u"\nsize= 1kB time=1.00 bitrate= 8kbits/s"_s, LogSink::View::Newest);
        log.append(u" more"_s, LogSink::View::Newest);
        const QString expected
            = u"You are welcome!\nDuration: 00:00:05.00\nsize= 1kB time=1.00 bitrate= 8kbits/s more"_s;
        QCOMPARE(log.text(), expected);
        QCOMPARE(log.Memo1->toPlainText(), expected);
    }

    // After a probe the view shows the beginning of the log; after a conversion read the caret
    // is at the very end and the newest text is in view.
    void viewAfterAppend_data()
    {
        QTest::addColumn<bool>("conversion");
        QTest::newRow("probe") << false;
        QTest::newRow("conversion") << true;
    }

    void viewAfterAppend()
    {
        QFETCH(bool, conversion);
        TlogFrm log;
        log.show();
        QVERIFY(QTest::qWaitForWindowExposed(&log));
        // Start from a view scrolled to the middle, as a reader would leave it.
        log.append(manyLines(u"earlier"_s, 200), LogSink::View::Newest);
        QScrollBar *vertical = log.Memo1->verticalScrollBar();
        QVERIFY(vertical->maximum() > 0);
        vertical->setValue(vertical->maximum() / 2);

        log.append(manyLines(conversion ? u"time="_s : u"probe"_s, 50),
            conversion ? LogSink::View::Newest : LogSink::View::Beginning);
        QCoreApplication::processEvents();
        const QTextCursor cursor = log.Memo1->textCursor();
        QVERIFY(!cursor.hasSelection());
        if (conversion) {
            QCOMPARE(cursor.position(), log.Memo1->document()->characterCount() - 1);
            QCOMPARE(vertical->value(), vertical->maximum());
        } else {
            QCOMPARE(cursor.position(), 0);
            QCOMPARE(vertical->value(), 0);
            QCOMPARE(log.Memo1->horizontalScrollBar()->value(), 0);
        }
    }

    void hiddenLogKeepsWhatArrives()
    {
        TlogFrm log;
        log.toggle();
        QVERIFY(log.isVisible());
        // Its own close button only hides it.
        QVERIFY(log.close());
        QVERIFY(!log.isVisible());
        log.append(u"while hidden\n"_s, LogSink::View::Newest);
        log.toggle();
        QVERIFY(log.isVisible());
        QVERIFY(log.Memo1->toPlainText().endsWith(u"while hidden\n"_s));
        log.toggle();
        QVERIFY(!log.isVisible());
        QCOMPARE(log.text(), u"You are welcome!\nwhile hidden\n"_s);
    }
};

QTEST_MAIN(TestLogWindow)
#include "tst_logwindow.moc"
