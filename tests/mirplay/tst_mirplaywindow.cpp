// The real mirplay on a real X server: its window is found the way the window program finds
// it, embedded into a test host's panel the way the window program embeds it, and driven
// with the same synthetic keys. Media are made here with GStreamer's test sources.

#include "playerrun.h"
#include "testmedia.h"
#include "x11probe.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// As the window program looks for the window: 41 looks, 50 ms apart.
constexpr int kLooks = 41;
constexpr int kLookIntervalMs = 50;
// The window program's preview panel and where it puts the player's window in it.
constexpr QSize kPanelSize(263, 196);
constexpr QRect kEmbeddedGeometry(-5, -33, 272, 232);
constexpr uint32_t kKeyP = 0x70;
constexpr uint32_t kKeyQ = 0x71;
constexpr int kStartTimeoutMs = 10000;

// A window with a native panel, like the window program's preview area.
class TestHost : public QWidget
{
public:
    TestHost()
    {
        setWindowTitle(u"mirplay test host"_s);
        resize(300, 240);
        panel = new QWidget(this);
        panel->setAttribute(Qt::WA_NativeWindow);
        panel->setGeometry(QRect(QPoint(10, 10), kPanelSize));
    }
    uint32_t panelWindow() const { return uint32_t(panel->winId()); }

    QWidget *panel;
};

bool isBright(QRgb pixel)
{
    return qRed(pixel) > 150 && qGreen(pixel) > 150 && qBlue(pixel) > 150;
}

} // namespace

class TestMirplayWindow : public QObject
{
    Q_OBJECT

private:
    QString media(const QString &name) const { return m_media.filePath(name); }

    // Polls like the window program; fails the test unless the window shows in time.
    uint32_t awaitWindow(PlayerRun &run)
    {
        for (int look = 0; look < kLooks; ++look) {
            if (const uint32_t window = m_x11.findWindow(u"Preview"_s, run.pid()))
                return window;
            QTest::qWait(kLookIntervalMs);
        }
        return 0;
    }

    void embed(uint32_t window, TestHost &host)
    {
        const qreal ratio = host.devicePixelRatioF();
        const QRect device(QPoint(int(kEmbeddedGeometry.x() * ratio), int(kEmbeddedGeometry.y() * ratio)),
            kEmbeddedGeometry.size() * ratio);
        m_x11.reparent(window, host.panelWindow(), device);
    }

    // Waits for a line starting with `prefix` at or after `from`; returns its index or -1.
    static qsizetype awaitLine(PlayerRun &run, QStringView prefix, qsizetype from = 0, int timeoutMs = kStartTimeoutMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (run.indexOf(prefix, from) < 0 && run.process().state() != QProcess::NotRunning && !deadline.hasExpired())
            QTest::qWait(20);
        return run.indexOf(prefix, from);
    }

    // Press and, a moment later as from a hand on a keyboard, release: the window must still
    // be there for the release, or the sender gets an X error.
    static void quitWithQ(X11Probe &x11, PlayerRun &run, uint32_t window)
    {
        x11.takeErrors();
        x11.sendKeyEvent(window, kKeyQ, true);
        QTest::qWait(100);
        x11.sendKeyEvent(window, kKeyQ, false);
        QCOMPARE(x11.takeErrors(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(run.process().state() == QProcess::NotRunning, 5000);
        QCOMPARE(run.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.process().exitCode(), 0);
    }

    static QStringList arguments(const QString &start, QSize size, const QString &file)
    {
        return { u"qzv"_s, u"-ss"_s, start, u"-x"_s, QString::number(size.width()), u"-y"_s,
            QString::number(size.height()), file };
    }

    X11Probe m_x11;
    QTemporaryDir m_mediaDir;
    QDir m_media;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(m_x11.isConnected(), "these tests need an X server (DISPLAY)");
        QVERIFY(m_mediaDir.isValid());
        m_media.setPath(m_mediaDir.path());

        const QString tone = u"audiotestsrc wave=sine freq=440 samplesperbuffer=4410 num-buffers=200 ! audioconvert"_s;
        const QString bars = u"videotestsrc pattern=smpte100 num-buffers=%1 ! video/x-raw,width=320,height=240,"
                             u"framerate=15/1"_s;
        const struct
        {
            QString name;
            QString pipeline;
        } files[] = {
            { u"tone.ogg"_s, tone + u" ! vorbisenc ! oggmux"_s },
            { u"tone.wav"_s, tone + u" ! wavenc"_s },
            { u"clip.ogv"_s,
                bars.arg(300) + u" ! theoraenc ! oggmux name=mux "_s + tone + u" ! vorbisenc ! mux. mux."_s },
            { u"clip.mkv"_s,
                bars.arg(300) + u" ! vp8enc deadline=1 ! matroskamux name=mux "_s + tone
                    + u" ! vorbisenc ! mux. mux."_s },
            // H.264 is encoded by the allowed sets but decoded by none of them.
            { u"h264.mkv"_s,
                bars.arg(300) + u" ! x264enc speed-preset=ultrafast ! matroskamux name=mux "_s + tone
                    + u" ! vorbisenc ! mux. mux."_s },
            { u"h264only.mkv"_s, bars.arg(30) + u" ! x264enc speed-preset=ultrafast ! matroskamux"_s },
            { u"short.ogv"_s, bars.arg(30) + u" ! theoraenc ! oggmux"_s },
            { u"short.ogg"_s,
                u"audiotestsrc wave=sine samplesperbuffer=4410 num-buffers=20 ! audioconvert ! vorbisenc ! oggmux"_s },
        };
        for (const auto &file : files) {
            QVERIFY2(TestMedia::launchInto(file.pipeline, media(file.name)), qPrintable(file.name));
        }

        QFile junk(media(u"junk.mp3"_s));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        QRandomGenerator random(4);
        for (int i = 0; i < 4096; ++i)
            junk.putChar(char(random.bounded(256)));
        junk.close();
        QFile empty(media(u"empty.ogg"_s));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        QFile text(media(u"notes.ogg"_s));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("These are not sounds.\n");
        text.close();
        QVERIFY(m_media.mkdir(u"folder.ogg"_s));
    }

    void opensWindowAndQuitsOnQ_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("expected");

        QTest::newRow("vorbis") << u"tone.ogg"_s << QSize(320, 240) << u"picture=audio"_s;
        QTest::newRow("wav, other size") << u"tone.wav"_s << QSize(400, 300) << u"picture=audio"_s;
        QTest::newRow("theora") << u"clip.ogv"_s << QSize(320, 240) << u"picture=video"_s;
        QTest::newRow("vp8 in matroska") << u"clip.mkv"_s << QSize(272, 232) << u"picture=video"_s;
        QTest::newRow("video we cannot decode, sound we can") << u"h264.mkv"_s << QSize(320, 240) << u"picture=audio"_s;
        QTest::newRow("cannot be played") << u"junk.mp3"_s << QSize(320, 240) << u"phase=failed"_s;
    }

    void opensWindowAndQuitsOnQ()
    {
        QFETCH(QString, file);
        QFETCH(QSize, size);
        QFETCH(QString, expected);

        PlayerRun run(arguments(u"0"_s, size, media(file)));
        const uint32_t window = awaitWindow(run);
        QVERIFY2(window, "no window titled Preview within 41 looks");
        QCOMPARE(m_x11.windowTitle(window, false), u"Preview"_s);
        QCOMPARE(m_x11.windowTitle(window, true), u"Preview"_s);
        QCOMPARE(m_x11.geometry(window).size(), size);
        QTRY_VERIFY_WITH_TIMEOUT(m_x11.isViewable(window), 2000);

        QVERIFY2(awaitLine(run, expected) >= 0, qPrintable(run.lines().join(u'\n')));
        quitWithQ(m_x11, run, window);
    }

    void startsAtOffset_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("start");
        QTest::addColumn<double>("seconds");

        QTest::newRow("vorbis from 0") << u"tone.ogg"_s << u"0"_s << 0.0;
        QTest::newRow("vorbis from 5") << u"tone.ogg"_s << u"5"_s << 5.0;
        QTest::newRow("wav from a time code") << u"tone.wav"_s << u"00:00:07"_s << 7.0;
        QTest::newRow("theora from 7") << u"clip.ogv"_s << u"7"_s << 7.0;
        QTest::newRow("vp8 from 11, between key frames") << u"clip.mkv"_s << u"11"_s << 11.0;
    }

    // The position at the start is the offset, and from there it runs at the pace of the
    // clock, with or without a sound output.
    void startsAtOffset()
    {
        QFETCH(QString, file);
        QFETCH(QString, start);
        QFETCH(double, seconds);

        PlayerRun run(arguments(start, QSize(320, 240), media(file)));
        const uint32_t window = awaitWindow(run);
        QVERIFY(window);
        const qsizetype playing = awaitLine(run, u"phase=playing");
        QVERIFY2(playing >= 0, qPrintable(run.lines().join(u'\n')));
        const std::optional<double> first = PlayerRun::positionOf(run.lines()[playing]);
        QVERIFY(first);
        QVERIFY2(qAbs(*first - seconds) < 0.05, qPrintable(run.lines()[playing]));

        // A second and a half of the file plays in real time: not much faster than the clock
        // (a player that races through), and within a few seconds (one that crawls or stops).
        QElapsedTimer clock;
        clock.start();
        const auto played = [&run, first] { return run.lastPosition().value_or(0.0) - *first; };
        QTRY_VERIFY_WITH_TIMEOUT(played() >= 1.5, 5000);
        const double elapsed = clock.elapsed() / 1000.0;
        QVERIFY2(played() < 1.2 * elapsed + 0.3, qPrintable(u"played %1 s in %2 s"_s.arg(played()).arg(elapsed)));
        quitWithQ(m_x11, run, window);
    }

    void pauseAndResume_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("embedded");

        QTest::newRow("audio, own window") << u"tone.ogg"_s << false;
        QTest::newRow("audio, embedded") << u"tone.ogg"_s << true;
        QTest::newRow("video, own window") << u"clip.ogv"_s << false;
        QTest::newRow("video, embedded") << u"clip.mkv"_s << true;
    }

    void pauseAndResume()
    {
        QFETCH(QString, file);
        QFETCH(bool, embedded);

        TestHost host;
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));

        PlayerRun run(arguments(u"2"_s, QSize(320, 240), media(file)));
        const uint32_t window = awaitWindow(run);
        QVERIFY(window);
        if (embedded) {
            embed(window, host);
            QCOMPARE(m_x11.parent(window), host.panelWindow());
        }
        QVERIFY(awaitLine(run, u"phase=playing") >= 0);
        QTRY_VERIFY_WITH_TIMEOUT(run.lastPosition().value_or(0.0) >= 2.4, 5000);

        m_x11.sendKey(window, kKeyP);
        const qsizetype paused = awaitLine(run, u"phase=paused", 0, 3000);
        QVERIFY2(paused >= 0, qPrintable(run.lines().join(u'\n')));
        const double pausedAt = PlayerRun::positionOf(run.lines()[paused]).value_or(-1);
        QVERIFY(pausedAt >= 2.4);
        QTest::qWait(800);
        QCOMPARE(run.lines().size(), paused + 1); // no position reported while paused

        m_x11.sendKey(window, kKeyP);
        const qsizetype resumed = awaitLine(run, u"phase=playing", paused, 3000);
        QVERIFY(resumed > paused);
        const double resumedAt = PlayerRun::positionOf(run.lines()[resumed]).value_or(-1);
        QVERIFY2(qAbs(resumedAt - pausedAt) < 0.1, qPrintable(run.lines()[resumed]));
        QTRY_VERIFY_WITH_TIMEOUT(run.lastPosition().value_or(0) > resumedAt + 0.4, 3000);

        if (embedded) {
            // The player kept the place and size its host gave it.
            QCOMPARE(m_x11.parent(window), host.panelWindow());
            QCOMPARE(m_x11.geometry(window), kEmbeddedGeometry);
        }
        quitWithQ(m_x11, run, window);
    }

    // Drawn where the host shows it: with the window at (-5, -33), the picture fills the
    // panel from its top edge to its bottom edge (the first bar of the test picture is white).
    void videoFillsThePanel()
    {
        TestHost host;
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        PlayerRun run(arguments(u"1"_s, QSize(320, 240), media(u"clip.ogv"_s)));
        const uint32_t window = awaitWindow(run);
        QVERIFY(window);
        embed(window, host);
        QVERIFY(awaitLine(run, u"phase=playing") >= 0);

        // One grab must show both edges: right after embedding, the picture may still be
        // repainting at the new size.
        const QRect panel(QPoint(), kPanelSize);
        const auto fillsPanel = [&] {
            const QImage shown = m_x11.grab(host.panelWindow(), panel);
            return isBright(shown.pixel(20, 3)) && isBright(shown.pixel(20, kPanelSize.height() - 4));
        };
        QTRY_VERIFY_WITH_TIMEOUT(fillsPanel(), 5000);
        quitWithQ(m_x11, run, window);
    }

    void cannotPlay_data()
    {
        QTest::addColumn<QString>("file");

        QTest::newRow("random bytes") << u"junk.mp3"_s;
        QTest::newRow("empty file") << u"empty.ogg"_s;
        QTest::newRow("text") << u"notes.ogg"_s;
        QTest::newRow("folder") << u"folder.ogg"_s;
        QTest::newRow("missing") << u"missing.ogg"_s;
        QTest::newRow("only video we cannot decode") << u"h264only.mkv"_s;
    }

    // The window still comes, embedded it shows the message inside the panel, and Q quits.
    void cannotPlay()
    {
        QFETCH(QString, file);

        TestHost host;
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        PlayerRun run(arguments(u"0"_s, QSize(320, 240), media(file)));
        const uint32_t window = awaitWindow(run);
        QVERIFY(window);
        embed(window, host);
        QVERIFY2(awaitLine(run, u"phase=failed") >= 0, qPrintable(run.lines().join(u'\n')));

        const QRect panel(QPoint(), kPanelSize);
        const auto textShown = [&] {
            const QImage shown = m_x11.grab(host.panelWindow(), panel);
            for (int y = 0; y < shown.height(); ++y) {
                for (int x = 0; x < shown.width(); ++x) {
                    if (isBright(shown.pixel(x, y)))
                        return true;
                }
            }
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(textShown(), 3000);
        QVERIFY(run.process().state() == QProcess::Running);
        quitWithQ(m_x11, run, window);
    }

    void staysAtTheEnd_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("start");
        QTest::addColumn<bool>("video");

        QTest::newRow("video to its end") << u"short.ogv"_s << u"0"_s << true;
        QTest::newRow("audio to its end") << u"short.ogg"_s << u"0"_s << false;
        QTest::newRow("offset past the end") << u"tone.ogg"_s << u"30"_s << false;
    }

    // At the end the player stays open on its last picture until the window program sends Q.
    void staysAtTheEnd()
    {
        QFETCH(QString, file);
        QFETCH(QString, start);
        QFETCH(bool, video);

        PlayerRun run(arguments(start, QSize(320, 240), media(file)));
        const uint32_t window = awaitWindow(run);
        QVERIFY(window);
        QVERIFY2(awaitLine(run, u"phase=ended") >= 0, qPrintable(run.lines().join(u'\n')));
        QTest::qWait(500);
        QVERIFY(run.process().state() == QProcess::Running);
        if (video)
            QVERIFY(isBright(m_x11.grab(window, QRect(0, 0, 320, 240)).pixel(20, 120)));
        quitWithQ(m_x11, run, window);
    }

    void soundOutputFails_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<bool>("opens");

        // As a sound server that goes away would: an error after some buffers.
        QTest::newRow("while playing") << u"identity error-after=40 ! fakesink sync=true"_s << true;
        QTest::newRow("when opened") << u"filesink location=/nonexistent-folder/sound.raw"_s << false;
    }

    // A sound output that fails: the preview goes on silently, from where it was.
    void soundOutputFails()
    {
        QFETCH(QString, output);
        QFETCH(bool, opens);

        PlayerRun run(
            arguments(u"3"_s, QSize(320, 240), media(u"tone.ogg"_s)), { u"TOLM_MIRPLAY_AUDIO_OUTPUT="_s + output });
        const uint32_t window = awaitWindow(run);
        QVERIFY(window);
        qsizetype silent = awaitLine(run, u"phase=playing");
        QVERIFY2(silent >= 0, qPrintable(run.lines().join(u'\n')));
        double lowest = 3.0;
        if (opens) {
            QVERIFY2(run.lines()[silent].endsWith(u"sound=device"), qPrintable(run.lines()[silent]));
            silent = awaitLine(run, u"phase=playing", silent + 1);
            QVERIFY2(silent >= 0, qPrintable(run.lines().join(u'\n')));
            lowest = 3.2;
        }
        QVERIFY2(run.lines()[silent].endsWith(u"sound=silent"), qPrintable(run.lines()[silent]));
        const double resumedAt = PlayerRun::positionOf(run.lines()[silent]).value_or(-1);
        QVERIFY2(resumedAt >= lowest - 0.05 && resumedAt < 8.0, qPrintable(run.lines()[silent]));
        QTRY_VERIFY_WITH_TIMEOUT(run.lastPosition().value_or(0) > resumedAt + 0.5, 3000);
        QCOMPARE(run.indexOf(u"phase=failed"), -1);
        quitWithQ(m_x11, run, window);
    }

    // The host went away and took the embedded window with it: nobody can send Q any more.
    void quitsWithItsHost()
    {
        auto host = std::make_unique<TestHost>();
        host->show();
        QVERIFY(QTest::qWaitForWindowExposed(host.get()));
        PlayerRun run(arguments(u"0"_s, QSize(320, 240), media(u"tone.ogg"_s)));
        const uint32_t window = awaitWindow(run);
        QVERIFY(window);
        embed(window, *host);
        QVERIFY(awaitLine(run, u"phase=playing") >= 0);

        host.reset();
        QTRY_VERIFY_WITH_TIMEOUT(run.process().state() == QProcess::NotRunning, 5000);
        QCOMPARE(run.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.process().exitCode(), 0);
    }

    void userTypesIntoTheWindow_data()
    {
        QTest::addColumn<bool>("embedded");

        QTest::newRow("embedded, pointer over it") << true;
        QTest::newRow("own window, clicked, pointer gone") << false;
    }

    // A user clicks into the preview and types while the host window has the keyboard (real
    // input through the XTEST extension, as xdotool makes it). Embedded, X hands the keys to
    // the window under the pointer; as a window of its own, the click gives it the keyboard.
    void userTypesIntoTheWindow()
    {
        QFETCH(bool, embedded);
        const QString xdotool = QStandardPaths::findExecutable(u"xdotool"_s);
        QVERIFY2(!xdotool.isEmpty(), "xdotool is missing (scripts/setup-deps.sh)");
        const auto runXdotool = [&](const QStringList &arguments) {
            QProcess tool;
            tool.start(xdotool, arguments);
            return tool.waitForFinished(5000) && tool.exitCode() == 0;
        };
        const auto movePointer = [&](QPoint to) {
            return runXdotool({ u"mousemove"_s, u"--sync"_s, QString::number(to.x()), QString::number(to.y()) });
        };

        TestHost host;
        host.move(400, 300); // clear of the player's own window at the screen's corner
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        host.activateWindow();
        QTRY_VERIFY(host.isActiveWindow());
        PlayerRun run(arguments(u"0"_s, QSize(320, 240), media(u"tone.ogg"_s)));
        const uint32_t window = awaitWindow(run);
        QVERIFY(window);
        if (embedded)
            embed(window, host);
        QVERIFY(awaitLine(run, u"phase=playing") >= 0);

        const QPoint inside = embedded
            ? host.panel->mapToGlobal(QPoint(kPanelSize.width() / 2, kPanelSize.height() / 2))
            : m_x11.geometry(window).center();
        QVERIFY(movePointer(inside));
        QVERIFY(runXdotool({ u"click"_s, u"1"_s }));
        if (!embedded)
            QVERIFY(movePointer(host.mapToGlobal(QPoint(5, 5))));
        QVERIFY(runXdotool({ u"key"_s, u"p"_s }));
        QVERIFY2(awaitLine(run, u"phase=paused", 0, 3000) >= 0, qPrintable(run.lines().join(u'\n')));
        QVERIFY(runXdotool({ u"key"_s, u"q"_s }));
        QTRY_VERIFY_WITH_TIMEOUT(run.process().state() == QProcess::NotRunning, 5000);
        QCOMPARE(run.process().exitCode(), 0);
    }

    // A sender that only presses Q still ends the player.
    void quitsOnQPressAlone()
    {
        PlayerRun run(arguments(u"0"_s, QSize(320, 240), media(u"tone.ogg"_s)));
        const uint32_t window = awaitWindow(run);
        QVERIFY(window);
        QVERIFY(awaitLine(run, u"phase=playing") >= 0);
        m_x11.sendKeyEvent(window, kKeyQ, true);
        QTRY_VERIFY_WITH_TIMEOUT(run.process().state() == QProcess::NotRunning, 5000);
        QCOMPARE(run.process().exitCode(), 0);
    }

    void refusesToStart_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("message");

        QTest::newRow("start that is not a time")
            << QStringList { u"qzv"_s, u"-ss"_s, u"soon"_s, u"/a.ogg"_s } << QStringList {} << 2
            << QByteArray("-ss needs seconds or hh:mm:ss, not soon\nusage: mirplay qzv");
        QTest::newRow("no display") << QStringList { u"qzv"_s, u"-ss"_s, u"0"_s, u"/a.ogg"_s }
                                    << QStringList { u"DISPLAY=:65000"_s } << 3
                                    << QByteArray("no display to show the preview on");
    }

    // Nothing to show or nowhere to show it: a plain message and an exit code, no window.
    void refusesToStart()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, environment);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, message);

        PlayerRun run(arguments, environment);
        QVERIFY(run.process().waitForFinished(5000));
        QCOMPARE(run.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.process().exitCode(), exitCode);
        QVERIFY2(run.errorOutput().contains(message), run.errorOutput().constData());
    }
};

QTEST_MAIN(TestMirplayWindow)
#include "tst_mirplaywindow.moc"
