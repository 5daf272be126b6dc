#include "core/programversion.h"
#include "engine/logwindow.h"
#include "mainwindow/aboutbox.h"
#include "mainwindow/backgroundpanel.h"
#include "mainwindow/helpcommand.h"
#include "mainwindow/linklabel.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/picturebutton.h"
#include "profiles/profilecatalogue.h"
#include "testfiles.h"
#include "testwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

QString controlText(QWidget *widget)
{
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        return button->text();
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        return edit->text();
    if (auto *combo = qobject_cast<QComboBox *>(widget))
        return combo->currentText();
    return {};
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_program;
    QString m_home;
    TestWindow m_window;

    template <typename T = QWidget> T *control(const QString &name) { return m_window.control<T>(name); }

    // Runs act() once a modal dialog of the given type is up.
    template <typename Dialog> void whenModal(const std::function<void(Dialog *)> &act)
    {
        auto *poll = new std::function<void()>;
        *poll = [this, act, poll] {
            if (auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget())) {
                act(dialog);
                delete poll;
                return;
            }
            QTimer::singleShot(10, this, *poll);
        };
        QTimer::singleShot(0, this, *poll);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        m_program = m_root.filePath(u"program"_s);
        m_home = TestFiles::useFreshHome(m_root.path());
        QVERIFY(!m_home.isEmpty());
        QVERIFY(QDir().mkpath(m_program + u"/skin"_s));
        for (const QString &name : { u"start-a.bmp"_s, u"start-e.bmp"_s })
            QVERIFY(QFile::copy(QStringLiteral(TOLM_PROGRAM_DIR) + u"/skin/"_s + name, m_program + u"/skin/"_s + name));
        QVERIFY(TestFiles::write(m_home + u"/Documents/TOLM/TOLM Audio Converter/profile/userprofile.ini"_s,
            "[Voice (*.mp3)]\nAudioCodec=mp3\n[Archive (*.flac)]\nLossless=True\n[Car (*.aac)]\nABR=96 kbps\n"));
    }

    void init()
    {
        m_window.open(m_program);
        QVERIFY(QTest::qWaitForWindowExposed(m_window.form()));
    }

    void cleanup() { m_window.close(); }

    void windowShape()
    {
        QCOMPARE(m_window->objectName(), u"Form1"_s);
        QCOMPARE(m_window->windowTitle(), u"TOLM Audio Converter"_s);
        QCOMPARE(m_window->size(), QSize(795, 562));
        QCOMPARE(m_window->pos(), QPoint(249, 113));
        QVERIFY(m_window->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(control(u"suiImagePanel1"_s)->geometry(), QRect(0, 0, 795, 562));
        // Rounded corners: the very corners are cut off, the edges between them are not.
        const QRegion mask = m_window->mask();
        for (const QPoint &outside : { QPoint(0, 0), QPoint(794, 0), QPoint(0, 561), QPoint(794, 561), QPoint(1, 1) })
            QVERIFY2(!mask.contains(outside), qPrintable(u"%1,%2"_s.arg(outside.x()).arg(outside.y())));
        for (const QPoint &inside :
            { QPoint(397, 0), QPoint(0, 280), QPoint(8, 8), QPoint(786, 553), QPoint(400, 561) })
            QVERIFY2(mask.contains(inside), qPrintable(u"%1,%2"_s.arg(inside.x()).arg(inside.y())));
    }

    void controls_data()
    {
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("visible");
        const auto row = [](const char *name, const char *className, const QString &text, const QString &hint,
                             bool enabled, bool visible) {
            QTest::newRow(name) << QString::fromLatin1(className) << text << hint << enabled << visible;
        };
        row("appLabel", "QLabel", u"TOLM Audio Converter"_s, {}, true, true);
        row("minBtn", "QToolButton", {}, {}, true, true);
        row("closeBtn", "QToolButton", {}, {}, true, true);
        row("addButton", "QToolButton", {}, u"add  movies"_s, true, true);
        row("addLabel", "QLabel", u"Add"_s, u"add  movies"_s, true, true);
        row("trimBtn", "QToolButton", {}, u"select  start time  and end  time"_s, false, true);
        row("trimLabel", "QLabel", u"Trim"_s, u"select  start time  and end  time"_s, false, true);
        row("effectBtn", "QToolButton", {}, {}, false, true);
        row("effectLabel", "QLabel", u"Effect"_s, {}, false, true);
        row("aboutBtn", "QToolButton", {}, {}, true, true);
        row("aboutLabel", "QLabel", u"About"_s, {}, true, true);
        row("helpBtn", "QToolButton", {}, u"what can I help you?"_s, true, true);
        row("helpLabel", "QLabel", u"Help"_s, u"what can I help you?"_s, true, true);
        row("listPanel", "QWidget", {}, {}, true, true);
        row("listview", "QTreeView", {}, {}, true, false);
        row("listEdit", "QLineEdit", {}, {}, true, false);
        row("mUpBtn", "QPushButton", u"  Move Up"_s, {}, true, true);
        row("mDownBtn", "QPushButton", u"    MoveDown"_s, {}, true, true);
        row("delBtn", "QPushButton", u"     Remove"_s, {}, true, true);
        row("clearBtn", "QPushButton", u"Clear"_s, {}, true, true);
        row("videoNamelabel", "QLabel", u"Preview the source file"_s, {}, true, true);
        row("playpanel", "QFrame", {}, {}, true, true);
        row("pretimeLabel", "QLabel", u"00:00:00 / 00:00:00"_s, {}, true, true);
        row("TrackBar1", "QSlider", {}, {}, false, true);
        row("moveEdit", "QLabel", u"00:00:00"_s, {}, true, false);
        row("previewBtn", "QToolButton", {}, u"Play"_s, false, true);
        row("pauseBtn", "QToolButton", {}, u"Pause"_s, false, false);
        row("stopBtn", "QToolButton", {}, u"Stop"_s, false, true);
        row("profileLabel", "QLabel", u"Profile:"_s, {}, true, true);
        row("profileBox", "QComboBox", u"AAC - Advanced Audio Coding (*.aac)"_s, {}, true, true);
        row("qualityLabel", "QLabel", u"Audio Quality:"_s, {}, true, true);
        row("AQualityBtn", "QComboBox", u"Normal"_s, {}, true, true);
        row("settingBtn", "QToolButton", {}, u"Advanced Profile Settings"_s, true, true);
        row("destinationLabel", "QLabel", u"Destination:"_s, {}, true, true);
        row("browseBtn", "QPushButton", u"Browse"_s, {}, true, true);
        row("OpenBtn", "QPushButton", u"Open"_s, u"Browse  Output Files"_s, true, true);
        row("afterDoneLabel", "QLabel", u"After  Done :"_s, {}, true, true);
        row("afterDoneBox", "QComboBox", u"No Action"_s, {}, true, true);
        row("simultaneousBox", "QComboBox", u"1 at once"_s, u"Simultaneous conversions"_s, true, true);
        row("stopAddBtn", "QToolButton", {}, u"Stop adding"_s, true, false);
        row("startButton", "PictureButton", {}, u"encoder"_s, false, true);
        row("ProgressBar1", "QProgressBar", {}, {}, true, true);
        row("progressEdit", "QLabel", u"Please   add   file(s)"_s, {}, true, true);
        row("logBtn", "QToolButton", {}, u"View Log"_s, true, true);
    }

    void controls()
    {
        QFETCH(QString, className);
        QFETCH(QString, text);
        QFETCH(QString, hint);
        QFETCH(bool, enabled);
        QFETCH(bool, visible);
        QWidget *widget = control(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(widget);
        QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);
        QCOMPARE(controlText(widget), text);
        QCOMPARE(widget->toolTip(), hint);
        QCOMPARE(widget->isEnabled(), enabled);
        QCOMPARE(widget->isVisible(), visible);
        QVERIFY2(!widget->accessibleName().isEmpty(), "every control has a name assistive tools can read");
    }

    void destinationEditStartsAtHomeTolm()
    {
        QCOMPARE(control<QLineEdit>(u"pathdir"_s)->text(), m_home + u"/TOLM"_s);
        QVERIFY(!QFileInfo::exists(m_home + u"/TOLM"_s));
        QCOMPARE(m_window->programState().destinationHistory.entries(), QStringList { m_home + u"/TOLM"_s });
    }

    void toolButtonsCarryTheirCaptions_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QSize>("size");
        QTest::newRow("Add") << u"addButton"_s << u"addLabel"_s << QSize(63, 61);
        QTest::newRow("Trim") << u"trimBtn"_s << u"trimLabel"_s << QSize(63, 61);
        QTest::newRow("Effect") << u"effectBtn"_s << u"effectLabel"_s << QSize(63, 61);
        QTest::newRow("About") << u"aboutBtn"_s << u"aboutLabel"_s << QSize(63, 61);
        QTest::newRow("Help") << u"helpBtn"_s << u"helpLabel"_s << QSize(60, 61);
    }

    void toolButtonsCarryTheirCaptions()
    {
        QFETCH(QString, button);
        QFETCH(QString, caption);
        QFETCH(QSize, size);
        auto *b = control<QToolButton>(button);
        auto *label = control<QLabel>(caption);
        QCOMPARE(b->size(), size);
        QCOMPARE(label->parentWidget(), b);
        QCOMPARE(label->pos(), QPoint(20, 42));
        QVERIFY(label->isVisible());
        QCOMPARE(b->accessibleName(), label->text());
        // A press on the caption is a press on the button.
        QCOMPARE(b->childAt(label->geometry().center()), nullptr);
    }

    void fixedSizes()
    {
        QCOMPARE(control(u"startButton"_s)->size(), QSize(172, 98));
        QCOMPARE(control(u"playpanel"_s)->size(), QSize(263, 196));
        QCOMPARE(control(u"pauseBtn"_s)->geometry(), control(u"previewBtn"_s)->geometry());
        // The static text lies over the progress bar, in front of it.
        QWidget *bar = control(u"ProgressBar1"_s);
        QWidget *text = control(u"progressEdit"_s);
        QVERIFY(bar->geometry().contains(text->geometry().center()));
        QCOMPARE(bar->parentWidget()->childAt(text->geometry().center()), text);
    }

    void listColumns()
    {
        auto *list = control<QTreeView>(u"listview"_s);
        QCOMPARE(list->parentWidget(), control(u"listPanel"_s));
        const QStringList headers { u"Source"_s, u"File Size"_s, u"Duration"_s, u"Destination"_s, u"Status"_s };
        QCOMPARE(list->model()->columnCount(), 5);
        for (int column = 0; column < 5; ++column) {
            QCOMPARE(list->model()->headerData(column, Qt::Horizontal).toString(), headers.at(column));
            if (column > 0)
                QCOMPARE(list->model()->headerData(column, Qt::Horizontal, Qt::TextAlignmentRole).toInt(),
                    int(Qt::AlignCenter));
        }
        QCOMPARE(list->columnWidth(2), 80);
        QCOMPARE(list->columnWidth(3), 120);
        QCOMPARE(list->columnWidth(4), 60);
        QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(list->palette().color(QPalette::Inactive, QPalette::Highlight),
            list->palette().color(QPalette::Active, QPalette::Highlight));
        QCOMPARE(control(u"listEdit"_s)->parentWidget(), list->viewport());
    }

    void choosers()
    {
        auto *profiles = control<QComboBox>(u"profileBox"_s);
        QStringList items;
        for (int i = 0; i < profiles->count(); ++i)
            items.append(profiles->itemText(i));
        QCOMPARE(items.size(), kBuiltInProfileCount + 3);
        QCOMPARE(items.mid(0, kBuiltInProfileCount), BuiltInProfileNames());
        QCOMPARE(items.mid(kBuiltInProfileCount),
            QStringList({ u"Voice (*.mp3)"_s, u"Archive (*.flac)"_s, u"Car (*.aac)"_s }));
        QCOMPARE(profiles->currentIndex(), 0);
        QCOMPARE(profiles->maxVisibleItems(), 20);

        auto *quality = control<QComboBox>(u"AQualityBtn"_s);
        QCOMPARE(quality->count(), 3);
        QCOMPARE(quality->itemText(0), u"High"_s);
        QCOMPARE(quality->itemText(2), u"Low"_s);
        QCOMPARE(quality->currentIndex(), 1);

        auto *afterDone = control<QComboBox>(u"afterDoneBox"_s);
        QStringList actions;
        for (int i = 0; i < afterDone->count(); ++i)
            actions.append(afterDone->itemText(i));
        QCOMPARE(
            actions, QStringList({ u"No Action"_s, u"Browse Output"_s, u"Turn Off"_s, u"Hibernate"_s, u"Stand By"_s }));
        QCOMPARE(afterDone->currentIndex(), 0);
    }

    void rangesAndTimer()
    {
        auto *track = control<QSlider>(u"TrackBar1"_s);
        QCOMPARE(track->orientation(), Qt::Horizontal);
        QCOMPARE(track->minimum(), 0);
        QCOMPARE(track->maximum(), 100);
        QCOMPARE(track->value(), 0);
        auto *progress = control<QProgressBar>(u"ProgressBar1"_s);
        QCOMPARE(progress->minimum(), 0);
        QCOMPARE(progress->maximum(), 100);
        QVERIFY(!progress->isTextVisible());
        auto *timer = m_window->findChild<QTimer *>(u"Timer1"_s);
        QVERIFY(timer);
        QCOMPARE(timer->interval(), 100);
        QVERIFY(!timer->isActive());
    }

    void everyVisibleControlIsNamed()
    {
        const QList<QWidget *> widgets = m_window->findChildren<QWidget *>();
        for (QWidget *widget : widgets) {
            if (widget->objectName().isEmpty() || widget->objectName().startsWith(u"qt_"_s))
                continue; // parts Qt builds inside its own widgets
            QVERIFY2(!widget->accessibleName().isEmpty(), qPrintable(widget->objectName()));
        }
        QCOMPARE(control(u"startButton"_s)->accessibleName(), u"encoder"_s);
        QCOMPARE(control(u"mDownBtn"_s)->accessibleName(), u"MoveDown"_s);
        QCOMPARE(control(u"settingBtn"_s)->accessibleName(), u"Advanced Profile Settings"_s);
    }

    void startButtonShowsItsDisabledPicture()
    {
        auto *start = control<PictureButton>(u"startButton"_s);
        QCOMPARE(start->disabledPicturePath(), m_program + u"/skin/start-a.bmp"_s);
        const QImage shown = start->grab().toImage();
        const QImage picture(m_program + u"/skin/start-a.bmp"_s);
        QCOMPARE(picture.size(), QSize(172, 98));
        for (const QPoint &at : { QPoint(86, 49), QPoint(20, 20), QPoint(90, 25) })
            QCOMPARE(shown.pixel(at), picture.pixel(at));
        QVERIFY(start->loadDisabledPicture(m_program + u"/skin/start-e.bmp"_s));
        QCOMPARE(start->grab().toImage().pixel(86, 17), QImage(m_program + u"/skin/start-e.bmp"_s).pixel(86, 17));
    }

    void help_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<bool>("desktopSucceeds");
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QString>("message");
        QTest::newRow("no help file") << QStringList { u"readme.txt"_s } << true << QString()
                                      << u" Help file is constructing !"_s;
        QTest::newRow("first in name order")
            << QStringList { u"guide.chm"_s, u"Basics.CHM"_s } << true << u"Basics.CHM"_s << QString();
        QTest::newRow("desktop cannot open it")
            << QStringList { u"guide.chm"_s } << false << u"guide.chm"_s << HelpText::cannotOpen(u"guide.chm"_s);
        // The user manual opens in the browser, before any other help file.
        QTest::newRow("the manual") << QStringList { u"doc/index.html"_s } << true << u"doc/index.html"_s << QString();
        QTest::newRow("the manual before a help file")
            << QStringList { u"Basics.chm"_s, u"doc/index.html"_s } << true << u"doc/index.html"_s << QString();
        QTest::newRow("a folder called like the manual")
            << QStringList { u"doc/index.html/page"_s } << true << QString() << u" Help file is constructing !"_s;
        QTest::newRow("browser cannot open the manual")
            << QStringList { u"doc/index.html"_s } << false << u"doc/index.html"_s
            << HelpText::cannotOpen(u"doc/index.html"_s);
    }

    void help()
    {
        QFETCH(QStringList, files);
        QFETCH(bool, desktopSucceeds);
        QFETCH(QString, opened);
        QFETCH(QString, message);
        for (const QString &name : files)
            QVERIFY(TestFiles::write(m_program + u'/' + name, "help"));
        m_window.desktop.succeed = desktopSucceeds;
        control<QToolButton>(u"helpBtn"_s)->click();
        for (const QString &name : files)
            QFile::remove(m_program + u'/' + name);
        QDir(m_program + u"/doc"_s).removeRecursively();

        QCOMPARE(m_window.desktop.opened,
            opened.isEmpty() ? QList<QUrl>() : QList<QUrl> { QUrl::fromLocalFile(m_program + u'/' + opened) });
        QCOMPARE(m_window.dialogs.messageTexts(), message.isEmpty() ? QStringList() : QStringList { message });
        if (QTest::currentDataTag() == QByteArray("no help file")) {
            const RecordingDialogs::Call &call = m_window.dialogs.calls.constFirst();
            QCOMPARE(call.owner, m_window.form());
            QCOMPARE(call.message.caption, QString());
            QCOMPARE(call.message.buttons, DialogButtons::Ok);
        }
    }

    void aboutBox()
    {
        TaboutFrm *first = nullptr;
        QPoint shownAt;
        QColor hoverColour, leftColour;
        whenModal<TaboutFrm>([&](TaboutFrm *about) {
            first = about;
            shownAt = about->pos();
            QCOMPARE(about->windowTitle(), u"About - TOLM Audio Converter"_s);
            QCOMPARE(about->size(), QSize(444, 345));
            QCOMPARE(
                about->controls().versionLabel->text(), u"TOLM Audio Converter Version " TOLM_PROGRAM_VERSION " "_s);
            QCOMPARE(about->controls().licenceLabel->text(),
                u"Free software under the GNU General Public License, version 3 or later"_s);
            QCOMPARE(about->controls().supportLink->text(), u"Support:"_s);
            QCOMPARE(about->controls().homepageLink->text(), u"Homepage:"_s);
            QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
            QApplication::sendEvent(about->controls().supportLink, &enter);
            hoverColour = about->controls().supportLink->textColour();
            QEvent leave(QEvent::Leave);
            QApplication::sendEvent(about->controls().supportLink, &leave);
            leftColour = about->controls().supportLink->textColour();
            QTest::mouseClick(about->controls().supportLink, Qt::LeftButton);
            QTest::mouseClick(about->controls().homepageLink, Qt::LeftButton);
            about->controls().closeButton->click();
        });
        control<QToolButton>(u"aboutBtn"_s)->click();
        QVERIFY(first);
        QVERIFY(!first->isVisible());
        QCOMPARE(shownAt, QPoint(249 + (795 - 444) / 2, 113 + 94));
        QCOMPARE(hoverColour, QColor(Qt::red));
        QCOMPARE(leftColour, QColor(Qt::blue));
        QCOMPARE(m_window.desktop.opened,
            QList<QUrl>({ QUrl::fromLocalFile(m_program + u"/doc/support.html"_s),
                QUrl::fromLocalFile(m_program + u"/doc/index.html"_s) }));

        // The box is kept and placed anew over the window where it now stands.
        m_window->move(40, 30);
        TaboutFrm *second = nullptr;
        whenModal<TaboutFrm>([&](TaboutFrm *about) {
            second = about;
            shownAt = about->pos();
            about->reject();
        });
        control<QToolButton>(u"aboutBtn"_s)->click();
        QCOMPARE(second, first);
        QCOMPARE(shownAt, QPoint(40 + 175, 30 + 94));
    }

    void minimiseAndRestore()
    {
        control<QToolButton>(u"minBtn"_s)->click();
        QVERIFY(m_window->isMinimized());
        m_window->restoreRequest();
        QVERIFY(!m_window->isMinimized());
        QVERIFY(m_window->isVisible());
        // Not minimised: the request changes no state.
        m_window->restoreRequest();
        QVERIFY(!m_window->isMinimized());
        QVERIFY(m_window->isVisible());
    }

    void dragOnlyFromTheBackground()
    {
        auto *panel = control<BackgroundPanel>(u"suiImagePanel1"_s);
        QSignalSpy moves(panel, &BackgroundPanel::moveRequested);
        // Presses on controls, also on labels and disabled buttons that pass presses on.
        for (const QString &name : { u"appLabel"_s, u"trimBtn"_s, u"pathdir"_s, u"listPanel"_s, u"progressEdit"_s }) {
            const QPoint at = control(name)->geometry().center();
            QTest::mousePress(panel, Qt::LeftButton, {}, at);
            QTest::mouseRelease(panel, Qt::LeftButton, {}, at);
        }
        QTest::mouseClick(control(u"addButton"_s), Qt::LeftButton);
        QCOMPARE(moves.size(), 0);

        // The bare background moves the window (here by hand: the test platform has no
        // window-system move).
        const QPoint start = m_window->pos();
        QTest::mousePress(panel, Qt::LeftButton, {}, QPoint(600, 20));
        QCOMPARE(moves.size(), 1);
        QMouseEvent drag(QEvent::MouseMove, QPointF(650, 40), panel->mapToGlobal(QPointF(650, 40)), Qt::NoButton,
            Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(panel, &drag);
        QTest::mouseRelease(panel, Qt::LeftButton, {}, QPoint(650, 40));
        QCOMPARE(m_window->pos(), start + QPoint(50, 20));
        // Right presses do nothing.
        QTest::mousePress(panel, Qt::RightButton, {}, QPoint(600, 20));
        QCOMPARE(moves.size(), 1);
    }

    void drops_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::addColumn<QStringList>("expected");
        const QList<QUrl> files { QUrl::fromLocalFile(u"/music/a b.wav"_s), QUrl(u"https://example.org/x.mp3"_s),
            QUrl::fromLocalFile(u"/video/c.flv"_s) };
        const QStringList local { u"/music/a b.wav"_s, u"/video/c.flv"_s };
        QTest::newRow("panel") << u"listPanel"_s << files << local;
        QTest::newRow("list") << u"listview"_s << files << local;
        QTest::newRow("web addresses only")
            << u"listPanel"_s << QList<QUrl> { QUrl(u"https://example.org/"_s) } << QStringList();
    }

    void drops()
    {
        QFETCH(QString, target);
        QFETCH(QList<QUrl>, urls);
        QFETCH(QStringList, expected);
        QWidget *widget = control(target);
        if (auto *list = qobject_cast<QTreeView *>(widget)) {
            list->show();
            widget = list->viewport();
        }
        QSignalSpy dropped(m_window.form(), &TForm1::filesDropped);
        QMimeData data;
        data.setUrls(urls);
        const QPoint at = widget->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &enter);
        QCOMPARE(enter.isAccepted(), !expected.isEmpty());
        QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &drop);
        if (expected.isEmpty()) {
            QCOMPARE(dropped.size(), 0);
            return;
        }
        QCOMPARE(drop.dropAction(), Qt::CopyAction);
        QCOMPARE(dropped.size(), 1);
        QCOMPARE(dropped.at(0).at(0).toStringList(), expected);
    }

    void logButtonShowsAndHidesTheLog()
    {
        TlogFrm log(m_window.form());
        m_window->setLogWindow(&log);
        auto *button = control<QToolButton>(u"logBtn"_s);
        button->click();
        QVERIFY(log.isVisible());
        QCOMPARE(log.Memo1->toPlainText(), u"You are welcome!\n"_s);
        button->click();
        QVERIFY(!log.isVisible());
        m_window->setLogWindow(nullptr);
    }

    void closeButtonClosesTheWindow()
    {
        control<QToolButton>(u"closeBtn"_s)->click();
        QVERIFY(!m_window->isVisible());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
