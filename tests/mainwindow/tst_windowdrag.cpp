// The window dragged by its background the way a desktop user does it: on an X server with
// a window manager (openbox, started by tests/support/with-openbox.sh), with real pointer
// presses and moves made by xdotool.
#include "mainwindow/backgroundpanel.h"
#include "mainwindow/mainwindow.h"
#include "testfiles.h"
#include "testwindow.h"

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestWindowDrag : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_program;
    TestWindow m_window;

    // One xdotool step, with this program's events handled while it runs.
    static bool pointer(const QStringList &arguments)
    {
        QProcess tool;
        tool.start(u"xdotool"_s, arguments);
        if (!tool.waitForStarted())
            return false;
        while (tool.state() != QProcess::NotRunning)
            QTest::qWait(5);
        return tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
    }
    static QStringList at(QPoint global)
    {
        return { u"mousemove"_s, QString::number(global.x()), QString::number(global.y()) };
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(!QStandardPaths::findExecutable(u"xdotool"_s).isEmpty(), "xdotool is not installed");
        QVERIFY(m_root.isValid());
        QVERIFY(!TestFiles::useFreshHome(m_root.path()).isEmpty());
        m_program = m_root.filePath(u"program"_s);
        QVERIFY(QDir().mkpath(m_program + u"/skin"_s));
        for (const QString &name : { u"start-a.bmp"_s, u"start-e.bmp"_s })
            QVERIFY(QFile::copy(QStringLiteral(TOLM_PROGRAM_DIR) + u"/skin/"_s + name, m_program + u"/skin/"_s + name));
    }

    void init()
    {
        m_window.open(m_program);
        QVERIFY(QTest::qWaitForWindowExposed(m_window.form()));
        // The window manager has the window where it asked to be before the drag begins.
        QTRY_COMPARE(m_window->pos(), QPoint(249, 113));
    }

    void cleanup() { m_window.close(); }

    // Pressing on the header's background and dragging moves the window by exactly the drag,
    // wherever the press was; a second drag goes on from where the first ended.
    void dragMovesByTheDrag_data()
    {
        QTest::addColumn<QPoint>("press"); // in the window
        QTest::addColumn<QPoint>("drag");
        QTest::newRow("header, right") << QPoint(600, 20) << QPoint(50, 40);
        QTest::newRow("header, left, up") << QPoint(480, 100) << QPoint(-120, -70);
        QTest::newRow("body") << QPoint(400, 430) << QPoint(30, -10);
    }
    void dragMovesByTheDrag()
    {
        QFETCH(QPoint, press);
        QFETCH(QPoint, drag);
        auto *panel = m_window.control<BackgroundPanel>(u"suiImagePanel1"_s);
        QVERIFY(panel);
        QVERIFY2(!panel->childAt(press), "the press must land on the bare background");
        QSignalSpy moves(panel, &BackgroundPanel::moveRequested);
        const QPoint start = m_window->pos();
        const QPoint pressAt = m_window->mapToGlobal(press);

        for (int round = 1; round <= 2; ++round) {
            const QPoint from = m_window->mapToGlobal(press);
            QVERIFY(pointer(at(from)));
            QTRY_COMPARE(QCursor::pos(), from);
            QVERIFY(pointer({ u"mousedown"_s, u"1"_s }));
            QTRY_COMPARE(moves.size(), round);
            // Moves in steps, as a hand does; the window manager follows each.
            for (int step = 1; step <= 4; ++step)
                QVERIFY(pointer(at(from + drag * step / 4)));
            QVERIFY(pointer({ u"mouseup"_s, u"1"_s }));
            QTRY_COMPARE(m_window->pos(), start + drag * round);
        }
        // The pointer still holds the same spot of the window.
        QCOMPARE(m_window->mapFromGlobal(pressAt + drag * 2), press);
    }
};

QTEST_MAIN(TestWindowDrag)
#include "tst_windowdrag.moc"
