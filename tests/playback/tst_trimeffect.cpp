// The trim and effect dialogs as a user works them: typing over the time fields, the preview
// of the trim dialog, and what OK and Cancel leave in the row's job.

#include "core/previewarea.h"
#include "core/startrecord.h"
#include "core/timecode.h"
#include "focuschain.h"
#include "platform/childprocess.h"
#include "platform/recordingdialogs.h"
#include "platform/recordingwindowembedding.h"
#include "playback/dialogcommands.h"
#include "playback/effectwindow.h"
#include "playback/selectiontrackbar.h"
#include "playback/timecodeedit.h"
#include "playback/trimwindow.h"
#include "sources/filelist.h"
#include "testjobs.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <memory>
#include <optional>

Q_DECLARE_METATYPE(std::optional<int>)

using namespace Qt::StringLiterals;

namespace {

const QString kStandins = QStringLiteral(TOLM_SOURCE_DIR "/tests/playback/standin");

TStartRecord job(const QString &duration, const QString &start = u"00:00:00"_s, const QString &length = {})
{
    return TestJobs::source(u"/media/clip.ogv"_s, duration, start, length);
}

// Counts Stop calls the dialogs make on the main preview.
class CountingPreview : public PreviewArea
{
public:
    void Stop() override { ++stops; }
    int stops = 0;
};

// Puts the caret before `position` as a mouse press there would, then types `keys`.
void typeAt(TimeCodeEdit *edit, int position, const QString &keys)
{
    edit->setFocus();
    edit->setCursorPosition(position);
    edit->selectCaretCharacter();
    QTest::keyClicks(edit, keys);
}

} // namespace

class TestTrimEffect : public QObject
{
    Q_OBJECT

    std::unique_ptr<QWidget> m_owner;
    std::unique_ptr<FileList> m_list;
    RecordingDialogs m_dialogs;
    RecordingWindowEmbedding m_windows;
    CountingPreview m_preview;
    TtrimFrm *m_trim = nullptr;
    TEffectFrm *m_effect = nullptr;

    // Runs act() on the dialog once it is shown modally (the test goes on inside exec()).
    static void whenModal(const std::function<void(QDialog *)> &act)
    {
        auto poll = std::make_shared<std::function<void()>>();
        *poll = [act, poll] {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                act(dialog);
                return;
            }
            QTimer::singleShot(10, *poll);
        };
        QTimer::singleShot(0, *poll);
    }

    const TrimControls &trimUi() const { return m_trim->controls(); }
    const EffectControls &effectUi() const { return m_effect->controls(); }

    // Opens the trim dialog on a job not yet in any list, as its OpenTrimDialog would.
    void openTrim(const TStartRecord &record)
    {
        QVERIFY(m_trim->load(record));
        m_trim->show();
    }

private Q_SLOTS:
    void initTestCase() { ChildProcess::setProgramFolder(kStandins); }

    void init()
    {
        m_owner = std::make_unique<QWidget>(nullptr, Qt::Window | Qt::FramelessWindowHint); // as the main window
        m_owner->setGeometry(249, 113, 795, 562);
        m_list = std::make_unique<FileList>();
        m_dialogs = RecordingDialogs();
        m_windows = RecordingWindowEmbedding();
        m_windows.playersShowWindows = true;
        m_preview = CountingPreview();
        m_trim = new TtrimFrm(m_dialogs, m_windows, QStringLiteral(TOLM_PROGRAM_DIR), m_owner.get());
        m_effect = new TEffectFrm(m_owner.get());
        m_owner->show();
    }

    void cleanup()
    {
        m_list.reset();
        m_owner.reset();
    }

    void newRowSelectsTheWholeFile()
    {
        openTrim(job(u"00:03:00"_s));
        QCOMPARE(m_trim->windowTitle(), u"Trim"_s);
        QCOMPARE(m_trim->size(), QSize(445, 369));
        QCOMPARE(trimUi().startEdit->text(), u"00:00:00"_s);
        QCOMPARE(trimUi().endEdit->text(), u"00:03:00"_s);
        QCOMPARE(trimUi().lengthEdit->text(), u"00:03:00"_s);
        QCOMPARE(trimUi().lengthEdit->accessibleName(), u"00:03:00"_s);
        QCOMPARE(trimUi().positionBar->maximum(), 180);
        QCOMPARE(trimUi().positionBar->selectionStart(), 0);
        QCOMPARE(trimUi().positionBar->selectionEnd(), 180);
        QCOMPARE(trimUi().positionBar->value(), 0);
        QCOMPARE(trimUi().setEndButton->toolTip(), u"Set End Poiont"_s);
        QCOMPARE(trimUi().setStartButton->toolTip(), u"Set Start Point"_s);
        // The four image buttons show pictures, never stand-in characters.
        for (QToolButton *button :
            { trimUi().playButton, trimUi().pauseButton, trimUi().setStartButton, trimUi().setEndButton }) {
            QVERIFY2(!button->icon().isNull(), qPrintable(button->objectName()));
            QVERIFY2(button->text().isEmpty(), qPrintable(button->objectName()));
            QVERIFY(!button->icon().pixmap(button->iconSize()).isNull());
        }
        QVERIFY(trimUi().playButton->isVisible() && !trimUi().pauseButton->isVisible());
    }

    // The form's names and places, the captions of the three fields and the order Tab takes.
    void trimForm()
    {
        const QList<std::tuple<QWidget *, QString, QRect>> places {
            { trimUi().previewPanel, u"playpanel"_s, QRect(12, 12, 259, 194) },
            { trimUi().startEdit, u"edit1"_s, QRect(290, 40, 100, 24) },
            { trimUi().endEdit, u"edit2"_s, QRect(290, 96, 100, 24) },
            { trimUi().lengthEdit, u"Edit3"_s, QRect(290, 152, 100, 24) },
            { trimUi().resetButton, u"resetBtn"_s, QRect(290, 186, 100, 28) },
            { trimUi().positionBar, u"TrackBar1"_s, QRect(12, 218, 421, 26) },
            { trimUi().positionText, u"StaticText1"_s, QRect(12, 250, 80, 20) },
            { trimUi().playButton, u"playBtn"_s, QRect(12, 276, 36, 32) },
            { trimUi().pauseButton, u"pauseBtn"_s, QRect(12, 276, 36, 32) },
            { trimUi().setStartButton, u"startBtn"_s, QRect(56, 276, 36, 32) },
            { trimUi().setEndButton, u"endBtn"_s, QRect(100, 276, 36, 32) },
            { trimUi().okButton, u"BitBtn3"_s, QRect(253, 326, 86, 30) },
            { trimUi().cancelButton, u"BitBtn5"_s, QRect(347, 326, 86, 30) },
        };
        for (const auto &[control, name, geometry] : places) {
            QCOMPARE(control->objectName(), name);
            QCOMPARE(control->geometry(), geometry);
        }
        const QList<std::tuple<QLabel *, QString, QWidget *>> captions {
            { trimUi().startCaption, u"Set Start Time:"_s, trimUi().startEdit },
            { trimUi().endCaption, u"Set End Time:"_s, trimUi().endEdit },
            { trimUi().lengthCaption, u"Selected Length:"_s, trimUi().lengthEdit },
        };
        for (const auto &[caption, text, buddy] : captions) {
            QCOMPARE(caption->text(), text);
            QCOMPARE(caption->buddy(), buddy);
        }
        QCOMPARE(trimUi().resetButton->text(), u"Reset"_s);
        QCOMPARE(trimUi().okButton->text(), u"OK"_s);
        QVERIFY(trimUi().okButton->isDefault());
        QCOMPARE(trimUi().cancelButton->text(), u"Cancel"_s);
        QCOMPARE(trimUi().lengthEdit->text(), u"========"_s); // until a row's times are shown
        QCOMPARE(FocusChain::tabOrder(m_trim),
            QStringList({ u"edit1"_s, u"edit2"_s, u"resetBtn"_s, u"TrackBar1"_s, u"playBtn"_s, u"pauseBtn"_s,
                u"startBtn"_s, u"endBtn"_s, u"BitBtn3"_s, u"BitBtn5"_s }));
    }

    // Steps are "<field><position>:<keys>", s for the start field and e for the end field.
    void typing_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("length");
        QTest::addColumn<int>("selected"); // the character selected afterwards in the last field typed in
        const auto row = [](const char *name, const QStringList &steps, const QString &start, const QString &end,
                             const QString &length,
                             int selected) { QTest::newRow(name) << steps << start << end << length << selected; };
        // A three-minute file, opened with everything selected.
        row("7 over tens of minutes becomes 0", { u"s3:7"_s }, u"00:00:00"_s, u"00:03:00"_s, u"00:03:00"_s, 4);
        row("digit on a colon", { u"s2:5"_s }, u"00:00:00"_s, u"00:03:00"_s, u"00:03:00"_s, 2);
        row("letters ignored", { u"s7:x-"_s }, u"00:00:00"_s, u"00:03:00"_s, u"00:03:00"_s, 7);
        row("start typed over", { u"s6:15"_s }, u"00:00:15"_s, u"00:03:00"_s, u"00:02:45"_s, -1);
        row("end past the file undone", { u"e4:4"_s }, u"00:00:00"_s, u"00:03:00"_s, u"00:03:00"_s, 4);
        row("end at the file's end", { u"e6:00"_s }, u"00:00:00"_s, u"00:03:00"_s, u"00:03:00"_s, -1);
        row("end before start undone", { u"s6:10"_s, u"e4:0"_s }, u"00:00:10"_s, u"00:03:00"_s, u"00:02:50"_s, 4);
        row("start equals end", { u"s4:3"_s }, u"00:03:00"_s, u"00:03:00"_s, u"00:00:00"_s, 5);
        row("start after end undone", { u"e4:1"_s, u"s4:2"_s }, u"00:00:00"_s, u"00:01:00"_s, u"00:01:00"_s, 4);
    }
    void typing()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, length);
        QFETCH(int, selected);
        openTrim(job(u"00:03:00"_s));
        TimeCodeEdit *edit = nullptr;
        for (const QString &step : steps) {
            edit = step.startsWith(u's') ? trimUi().startEdit : trimUi().endEdit;
            typeAt(edit, step.section(u':', 0, 0).mid(1).toInt(), step.section(u':', 1));
        }
        QCOMPARE(trimUi().startEdit->text(), start);
        QCOMPARE(trimUi().endEdit->text(), end);
        QCOMPARE(trimUi().lengthEdit->text(), length);
        if (selected >= 0) {
            QCOMPARE(edit->selectionStart(), selected);
            QCOMPARE(edit->selectedText().size(), 1);
        }
        QVERIFY(m_dialogs.calls.isEmpty());
    }

    // Click a field, Ctrl+A, type a whole time: it is taken as one edit once complete (or
    // once the field is left), so its first digits never empty the selection on the way.
    void selectAllThenTypeAWholeTime_data()
    {
        QTest::addColumn<QString>("start"); // the job's, on a 52 s row
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("then"); // a key after the typing, 0 for none
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("length");
        QTest::addColumn<bool>("shifted"); // each colon typed as a keyboard gives it: Shift held
        const QString whole = u"00:00:00"_s;
        QTest::newRow("a time inside the file")
            << whole << u"00:00:35"_s << 0 << u"00:00:35"_s << u"00:00:35"_s << false;
        QTest::newRow("digits only") << whole << u"000035"_s << 0 << u"00:00:35"_s << u"00:00:35"_s << false;
        QTest::newRow("past the file's end: back")
            << whole << u"00:01:10"_s << 0 << u"00:00:52"_s << u"00:00:52"_s << false;
        QTest::newRow("before the start: back")
            << u"00:00:20"_s << u"00:00:05"_s << 0 << u"00:00:52"_s << u"00:00:32"_s << false;
        QTest::newRow("left half typed") << whole << u"00:00:3"_s << int(Qt::Key_Tab) << u"00:00:32"_s << u"00:00:32"_s
                                         << false;
        QTest::newRow("Escape gives the old time back")
            << whole << u"00:00:3"_s << int(Qt::Key_Escape) << u"00:00:52"_s << u"00:00:52"_s << false;
        QTest::newRow("colons with Shift held")
            << whole << u"00:00:20"_s << 0 << u"00:00:20"_s << u"00:00:20"_s << true;
        QTest::newRow("keys that cannot be applied")
            << whole << u"00:x0-0:35"_s << 0 << u"00:00:35"_s << u"00:00:35"_s << false;
    }
    void selectAllThenTypeAWholeTime()
    {
        QFETCH(QString, start);
        QFETCH(QString, keys);
        QFETCH(int, then);
        QFETCH(QString, end);
        QFETCH(QString, length);
        QFETCH(bool, shifted);
        openTrim(job(u"00:00:52"_s, start, SecondsToTimeCode(52 - TimeCodeToSeconds(start))));
        QCOMPARE(trimUi().endEdit->text(), u"00:00:52"_s);
        QTest::mouseClick(trimUi().endEdit, Qt::LeftButton);
        QTest::keyClick(trimUi().endEdit, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(trimUi().endEdit->selectedText(), u"00:00:52"_s); // the whole time, to be typed anew
        QStringList lengths;
        QObject watching; // the connection ends with this test
        connect(
            trimUi().lengthEdit, &QLineEdit::textChanged, &watching, [&lengths](const QString &t) { lengths << t; });
        for (const QChar key : keys) {
            if (shifted && key == u':') {
                QTest::keyPress(trimUi().endEdit, Qt::Key_Shift);
                QTest::keyClick(trimUi().endEdit, key.toLatin1(), Qt::ShiftModifier);
                QTest::keyRelease(trimUi().endEdit, Qt::Key_Shift);
            } else {
                QTest::keyClick(trimUi().endEdit, key.toLatin1());
            }
        }
        if (then)
            QTest::keyClick(trimUi().endEdit, Qt::Key(then));
        QCOMPARE(trimUi().endEdit->text(), end);
        QCOMPARE(trimUi().lengthEdit->text(), length);
        QCOMPARE(trimUi().startEdit->text(), start);
        QVERIFY2(!lengths.contains(u"00:00:00"_s), qPrintable(lengths.join(u' ')));
        QVERIFY(m_dialogs.calls.isEmpty());
    }

    void backspaceMovesLeftAndNeverDeletes()
    {
        openTrim(job(u"00:03:00"_s));
        typeAt(trimUi().startEdit, 4, {});
        QTest::keyClick(trimUi().startEdit, Qt::Key_Backspace);
        QCOMPARE(trimUi().startEdit->text(), u"00:00:00"_s);
        QCOMPARE(trimUi().startEdit->selectionStart(), 3);
        QCOMPARE(trimUi().startEdit->selectedText(), u"0"_s);
        trimUi().startEdit->setCursorPosition(0);
        QTest::keyClick(trimUi().startEdit, Qt::Key_Backspace);
        QCOMPARE(trimUi().startEdit->text(), u"00:00:00"_s);
    }

    void hoursBeyondADayAreNoTime()
    {
        openTrim(job(u"00:03:00"_s));
        typeAt(trimUi().startEdit, 0, u"3"_s);
        QCOMPARE(m_dialogs.messageTexts(), QStringList({ u"'30:00:00' is not a valid time."_s }));
        QCOMPARE(m_dialogs.calls.first().message.caption, u"TOLM Audio Converter"_s);
        QCOMPARE(trimUi().startEdit->text(), u"30:00:00"_s); // the typed text stays
        QCOMPARE(trimUi().lengthEdit->text(), u"00:03:00"_s); // the length keeps its last value
        QCOMPARE(trimUi().positionBar->selectionStart(), 0);
    }

    void pointsFromTheThumb()
    {
        openTrim(job(u"00:03:00"_s));
        trimUi().positionBar->setValue(40);
        QCOMPARE(trimUi().positionText->text(), u"00:00:40"_s);
        QCOMPARE(trimUi().positionText->accessibleName(), u"00:00:40"_s);
        m_trim->startBtnClick();
        QCOMPARE(trimUi().startEdit->text(), u"00:00:40"_s);
        QCOMPARE(trimUi().positionBar->selectionStart(), 40);
        trimUi().positionBar->setValue(100);
        m_trim->endBtnClick();
        QCOMPARE(trimUi().endEdit->text(), u"00:01:40"_s);
        QCOMPARE(trimUi().lengthEdit->text(), u"00:01:00"_s);
        QCOMPARE(trimUi().positionBar->selectionEnd(), 100);
        // Start at or after the end, end at or before the start: nothing.
        trimUi().positionBar->setValue(100);
        m_trim->startBtnClick();
        QCOMPARE(trimUi().startEdit->text(), u"00:00:40"_s);
        trimUi().positionBar->setValue(40);
        m_trim->endBtnClick();
        QCOMPARE(trimUi().endEdit->text(), u"00:01:40"_s);

        m_trim->resetBtnClick();
        QCOMPARE(trimUi().startEdit->text(), u"00:00:00"_s);
        QCOMPARE(trimUi().endEdit->text(), u"00:03:00"_s);
        QCOMPARE(trimUi().lengthEdit->text(), u"00:03:00"_s);
        QCOMPARE(trimUi().positionBar->selectionStart(), 0);
        QCOMPARE(trimUi().positionBar->selectionEnd(), 180);
    }

    void previewInTheDialog()
    {
        openTrim(job(u"00:00:05"_s, u"00:00:02"_s, u"00:00:02"_s));
        m_trim->playBtnClick();
        // Right after opening the thumb is at 0, not at the selection start.
        QCOMPARE(m_trim->session().lastCommand().text, u"mirplay qzv  -ss  0 -x 320 -y 240  \"/media/clip.ogv\" "_s);
        QVERIFY(m_trim->isTicking() && trimUi().pauseButton->isVisible() && !trimUi().playButton->isVisible());
        const qint64 first = m_trim->session().processId();
        m_trim->trimTimerTick();
        QCOMPARE(trimUi().positionBar->value(), 1);
        // The thumb moved: the next tick starts a player there.
        trimUi().positionBar->setValue(3);
        m_trim->trimTimerTick();
        QVERIFY(m_trim->session().processId() != first);
        QCOMPARE(m_trim->session().lastCommand().arguments.at(2), u"3"_s);
        // Paused, the thumb moved: Play starts anew instead of resuming.
        m_trim->pauseBtnClick();
        const qint64 second = m_trim->session().processId();
        trimUi().positionBar->setValue(4);
        m_trim->playBtnClick();
        QVERIFY(m_trim->session().processId() != second);
        QCOMPARE(m_windows.keys.size(), 1); // the pause only
        // To the end of the file (5 s): Q, and the thumb back at the selection start.
        m_trim->trimTimerTick();
        m_trim->trimTimerTick();
        QCOMPARE(m_windows.keys.last().key, PlayerKey::Quit);
        QCOMPARE(trimUi().positionBar->value(), 2);
        QCOMPARE(trimUi().positionText->text(), u"00:00:02"_s);
        QVERIFY(!m_trim->isTicking() && trimUi().playButton->isVisible());
    }

    void closingEndsTheDialogsPlayer()
    {
        openTrim(job(u"00:01:00"_s));
        m_trim->playBtnClick();
        QVERIFY(m_trim->session().isRunning());
        m_trim->close(); // the title bar's close button
        // Asked to end, not waited for: it goes soon after.
        QTRY_VERIFY_WITH_TIMEOUT(!m_trim->session().isRunning(), 5000);
        QVERIFY(!m_trim->isTicking());
        QVERIFY(trimUi().playButton->isVisibleTo(m_trim) && !trimUi().pauseButton->isVisibleTo(m_trim));
    }

    void okWritesStartAndLengthOnly_data()
    {
        QTest::addColumn<bool>("ok");
        QTest::newRow("OK") << true;
        QTest::newRow("Cancel") << false;
    }
    void okWritesStartAndLengthOnly()
    {
        QFETCH(bool, ok);
        m_list->appendRow(u"a"_s, {}, u"00:00:30"_s, {}, job(u"00:00:30"_s));
        m_list->appendRow(u"b"_s, {}, u"00:00:40"_s, {}, job(u"00:00:40"_s));
        m_list->appendRow(u"c"_s, {}, u"00:00:50"_s, {}, job(u"00:00:50"_s));
        m_list->select(2);
        m_list->select(1);
        const TStartRecord before = m_list->job(1);
        QPoint shownAt;
        int shownWidth = 0;
        whenModal([&](QDialog *dialog) {
            shownAt = dialog->pos();
            shownWidth = dialog->frameGeometry().width();
            QCOMPARE(trimUi().endEdit->text(), u"00:00:40"_s); // the first selected row's job
            typeAt(trimUi().startEdit, 7, u"5"_s);
            typeAt(trimUi().endEdit, 6, u"12"_s);
            QCOMPARE(trimUi().lengthEdit->text(), u"00:00:07"_s);
            (ok ? trimUi().okButton : trimUi().cancelButton)->click();
        });
        OpenTrimDialog(*m_trim, *m_list, m_preview, true, m_dialogs, m_owner.get());
        QCOMPARE(m_preview.stops, 1);
        QVERIFY(shownWidth >= 445);
        QCOMPARE(shownAt, QPoint(249 + (795 - 445) / 2, 113 + 94));
        TStartRecord expected = before;
        if (ok) {
            expected.StartTime = u"00:00:05"_s;
            expected.Length = u"00:00:07"_s;
        }
        const TStartRecord &after = m_list->job(1);
        QCOMPARE(after.StartTime, expected.StartTime);
        QCOMPARE(after.Length, expected.Length);
        QCOMPARE(after.Duration, expected.Duration);
        QCOMPARE(after.Volume, expected.Volume);
        QCOMPARE(m_list->job(2).Length, u"00:00:50"_s);
        QCOMPARE(m_list->cellText(1, BatchModel::Duration), u"00:00:40"_s);
    }

    void zeroLengthIsStored()
    {
        m_list->appendRow(u"a"_s, {}, u"00:00:30"_s, {}, job(u"00:00:30"_s));
        whenModal([&](QDialog *) {
            typeAt(trimUi().startEdit, 6, u"30"_s);
            QCOMPARE(trimUi().lengthEdit->text(), u"00:00:00"_s);
            trimUi().okButton->click();
        });
        OpenTrimDialog(*m_trim, *m_list, m_preview, false, m_dialogs, m_owner.get());
        QCOMPARE(m_preview.stops, 0);
        QCOMPARE(m_list->job(0).StartTime, u"00:00:30"_s);
        QCOMPARE(m_list->job(0).Length, u"00:00:00"_s);
    }

    void noTargetRow_data()
    {
        QTest::addColumn<bool>("trim");
        QTest::newRow("trim") << true;
        QTest::newRow("effect") << false;
    }
    void noTargetRow()
    {
        QFETCH(bool, trim);
        m_list->appendRow(u"a"_s, {}, u"00:00:30"_s, {}, job(u"00:00:30"_s));
        m_list->appendRow(u"b"_s, {}, u"00:00:30"_s, {}, job(u"00:00:30"_s));
        if (trim)
            OpenTrimDialog(*m_trim, *m_list, m_preview, true, m_dialogs, m_owner.get());
        else
            OpenEffectDialog(*m_effect, *m_list, m_dialogs, m_owner.get());
        QCOMPARE(m_dialogs.messageTexts(), QStringList({ u"First select a file in the filelist!"_s }));
        QCOMPARE(m_preview.stops, 0);
    }

    void unknownDurationIsNotTrimmed()
    {
        m_list->appendRow(u"a"_s, {}, u"--:--:--"_s, {}, job(u"--:--:--"_s));
        OpenTrimDialog(*m_trim, *m_list, m_preview, false, m_dialogs, m_owner.get());
        QCOMPARE(m_dialogs.messageTexts(), QStringList({ u"'--' is not a valid integer value"_s }));
        QCOMPARE(m_list->job(0).Length, u"--:--:--"_s);
    }

    void effect_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("moveTo");
        QTest::addColumn<bool>("reset");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("result");
        QTest::newRow("to 400") << 100 << 400 << false << true << 400;
        QTest::newRow("to 0") << 100 << 0 << false << true << 0;
        QTest::newRow("cancelled") << 100 << 250 << false << false << 100;
        QTest::newRow("reset") << 300 << 50 << true << true << 100;
    }
    void effect()
    {
        QFETCH(int, stored);
        QFETCH(int, moveTo);
        QFETCH(bool, reset);
        QFETCH(bool, ok);
        QFETCH(int, result);
        TStartRecord record = job(u"00:00:30"_s);
        record.Volume = stored;
        m_list->appendRow(u"a"_s, {}, u"00:00:30"_s, {}, record);
        int opened = -1;
        QPoint shownAt;
        int shownWidth = 0;
        whenModal([&](QDialog *dialog) {
            shownAt = dialog->pos();
            shownWidth = dialog->frameGeometry().width();
            opened = effectUi().volumeBar->value();
            effectUi().volumeBar->setValue(moveTo);
            QCOMPARE(effectUi().volumeValue->text(), QString::number(moveTo));
            QCOMPARE(effectUi().volumeValue->accessibleName(), QString::number(moveTo));
            QVERIFY(effectUi().volumeValue->isVisible());
            if (reset)
                effectUi().resetButton->click();
            (ok ? effectUi().okButton : effectUi().cancelButton)->click();
        });
        OpenEffectDialog(*m_effect, *m_list, m_dialogs, m_owner.get());
        QCOMPARE(opened, stored);
        QCOMPARE(m_list->job(0).Volume, result);
        QVERIFY(shownWidth >= 413);
        QCOMPARE(shownAt, QPoint(249 + (795 - 413) / 2, 113 + 94));
    }

    // "Normalize loudness": the dialog shows the row's choice, OK stores the box and the
    // target, Cancel nothing; the volume is left as it is either way.
    void normalize_data()
    {
        QTest::addColumn<std::optional<int>>("stored");
        QTest::addColumn<bool>("check");
        QTest::addColumn<int>("pick"); // chooser position, -1 to leave it
        QTest::addColumn<bool>("ok");
        QTest::addColumn<std::optional<int>>("result");
        QTest::newRow("off to -23") << std::optional<int>() << true << 3 << true << std::optional<int>(-23);
        QTest::newRow("off to the default") << std::optional<int>() << true << -1 << true << std::optional<int>(-16);
        QTest::newRow("-14 to off") << std::optional<int>(-14) << false << -1 << true << std::optional<int>();
        QTest::newRow("-18 to -14") << std::optional<int>(-18) << true << 0 << true << std::optional<int>(-14);
        QTest::newRow("cancelled") << std::optional<int>(-18) << false << 1 << false << std::optional<int>(-18);
    }
    void normalize()
    {
        QFETCH(std::optional<int>, stored);
        QFETCH(bool, check);
        QFETCH(int, pick);
        QFETCH(bool, ok);
        QFETCH(std::optional<int>, result);
        TStartRecord record = job(u"00:00:30"_s);
        record.Volume = 250;
        record.Loudness.normalizeLufs = stored;
        m_list->appendRow(u"a"_s, {}, u"00:00:30"_s, {}, record);
        bool shownChecked = false;
        QString shownTarget;
        whenModal([&](QDialog *) {
            shownChecked = effectUi().normalizeBox->isChecked();
            shownTarget = effectUi().targetChooser->currentText();
            effectUi().normalizeBox->setChecked(check);
            if (pick >= 0)
                effectUi().targetChooser->setCurrentIndex(pick);
            (ok ? effectUi().okButton : effectUi().cancelButton)->click();
        });
        OpenEffectDialog(*m_effect, *m_list, m_dialogs, m_owner.get());
        QCOMPARE(shownChecked, stored.has_value());
        QCOMPARE(shownTarget, u"%1 LUFS"_s.arg(stored.value_or(-16)));
        QCOMPARE(m_list->job(0).Loudness.normalizeLufs, result);
        QCOMPARE(m_list->job(0).Volume, 250);
    }

    void normalizeChoices()
    {
        QCOMPARE(effectUi().normalizeBox->text(), u"Normalize loudness"_s);
        QStringList targets;
        for (int i = 0; i < effectUi().targetChooser->count(); ++i)
            targets << effectUi().targetChooser->itemText(i);
        QCOMPARE(targets, QStringList({ u"-14 LUFS"_s, u"-16 LUFS"_s, u"-18 LUFS"_s, u"-23 LUFS"_s }));
        // Inside the volume group, above the bar's scale, clear of it.
        QCOMPARE(effectUi().normalizeBox->parentWidget(), effectUi().volumeGroup);
        QVERIFY(effectUi().targetChooser->geometry().bottom() < effectUi().scaleLabels[0]->geometry().top());
        QVERIFY(effectUi().targetChooser->geometry().right() <= effectUi().volumeGroup->width());
    }

    // The form's names and places, and the order Tab takes.
    void effectForm()
    {
        const QList<std::tuple<QWidget *, QString, QRect>> places {
            { effectUi().volumeGroup, u"GroupBox1"_s, QRect(4, 6, 405, 118) },
            { effectUi().volumeBar, u"TrackBar1"_s, QRect(2, 58, 400, 24) },
            { effectUi().scaleLabels[0], u"Label14"_s, QRect(2, 34, 40, 18) },
            { effectUi().scaleLabels[1], u"Label15"_s, QRect(86, 34, 40, 18) },
            { effectUi().scaleLabels[2], u"Label16"_s, QRect(182, 34, 40, 18) },
            { effectUi().scaleLabels[3], u"Label1"_s, QRect(278, 34, 40, 18) },
            { effectUi().scaleLabels[4], u"Label2"_s, QRect(362, 34, 40, 18) },
            { effectUi().volumeValue, u"vsize"_s, QRect(112, 86, 30, 16) },
            { effectUi().normalizeBox, u"normalizeBox"_s, QRect(150, 10, 150, 22) },
            { effectUi().targetChooser, u"targetBox"_s, QRect(304, 9, 96, 24) },
            { effectUi().resetButton, u"suiButton4"_s, QRect(6, 136, 86, 30) },
            { effectUi().okButton, u"okBtn"_s, QRect(227, 136, 86, 30) },
            { effectUi().cancelButton, u"suiButton3"_s, QRect(321, 136, 86, 30) },
        };
        for (const auto &[control, name, geometry] : places) {
            QCOMPARE(control->objectName(), name);
            QCOMPARE(control->geometry(), geometry);
        }
        QCOMPARE(effectUi().resetButton->text(), u"Reset"_s);
        QCOMPARE(effectUi().okButton->text(), u"OK"_s);
        QVERIFY(effectUi().okButton->isDefault());
        QCOMPARE(effectUi().cancelButton->text(), u"Cancel"_s);
        QCOMPARE(effectUi().volumeGroup->title(), u"Volume"_s);
        QCOMPARE(FocusChain::tabOrder(m_effect),
            QStringList(
                { u"TrackBar1"_s, u"normalizeBox"_s, u"targetBox"_s, u"suiButton4"_s, u"okBtn"_s, u"suiButton3"_s }));
    }

    void effectScaleAndValueLabel()
    {
        QCOMPARE(m_effect->windowTitle(), u"Effect"_s);
        QCOMPARE(m_effect->size(), QSize(413, 176));
        QCOMPARE(effectUi().volumeBar->width(), 400);
        QStringList scale;
        int lastLeft = -1;
        for (QLabel *label : effectUi().scaleLabels) {
            scale << label->text();
            QVERIFY(label->x() > lastLeft);
            lastLeft = label->x();
        }
        QCOMPARE(scale, QStringList({ u"0%"_s, u"100%"_s, u"200%"_s, u"300%"_s, u"400%"_s }));
        QVERIFY(!effectUi().volumeValue->isVisible());
        m_effect->show();
        for (const auto &[position, left] : { std::pair { 100, 112 }, { 207, 219 }, { 208, 203 }, { 400, 389 } }) {
            effectUi().volumeBar->setValue(position);
            QCOMPARE(effectUi().volumeValue->x(), left);
        }
        // The same value again is no change: the label stays hidden once hidden.
        effectUi().volumeValue->hide();
        effectUi().volumeBar->setValue(400);
        QVERIFY(!effectUi().volumeValue->isVisible());
    }
};

QTEST_MAIN(TestTrimEffect)
#include "tst_trimeffect.moc"
