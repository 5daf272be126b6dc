// The list and its destinations through the real window: arranging rows, naming outputs in
// the inline editor, choosing folders by typing and browsing, and replacing an existing file,
// with the real transcoder converting media this test makes.

#include "engine/logwindow.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/mainwindowcontrols.h"
#include "mainwindow/picturebutton.h"
#include "platform/childprocess.h"
#include "sources/filelist.h"
#include "testfiles.h"
#include "testmedia.h"
#include "testwindow.h"
#include "windowwaits.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QToolTip>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace {

const QString kProgramDir = QStringLiteral(TOLM_PROGRAM_DIR);
constexpr int kMp3 = 5;
constexpr int kFlac = 11;

// A tone of about `seconds` seconds (1024-sample buffers at 44100 Hz) as a WAV file.
bool makeTone(const QString &path, int seconds)
{
    const int buffers = seconds * 44100 / 1024 + 1;
    return TestMedia::launchInto(
        u"audiotestsrc num-buffers=%1 ! audio/x-raw,rate=44100,channels=2 ! wavenc"_s.arg(buffers), path);
}

// The whole-second durations the transcoder reported, in the order of the text.
QList<int> reportedSeconds(const QString &log)
{
    QList<int> seconds;
    for (qsizetype at = log.indexOf(u"Duration: "_s); at >= 0; at = log.indexOf(u"Duration: "_s, at + 1))
        seconds << log.mid(at + 16, 2).toInt();
    return seconds;
}

} // namespace

class TestListRoad : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_media;
    QString m_out;
    TestWindow m_window;

    const MainWindowControls &ui() const { return m_window->controls(); }
    QTreeView *view() const { return ui().list.listview; }
    FileList &list() const { return m_window->fileList(); }
    QString media(const QString &name) const { return m_media + u'/' + name; }
    QStringList column(int column) const
    {
        QStringList texts;
        for (int row = 0; row < list().rowCount(); ++row)
            texts << list().cellText(row, column);
        return texts;
    }

    // A press at a column's left edge plus dx, in the middle of the row.
    QPoint cellPoint(int row, int columnIndex, int dx) const
    {
        const QRect bounds = view()->visualRect(list().index(row, 0));
        return { view()->header()->sectionViewportPosition(columnIndex) + dx, bounds.center().y() };
    }
    void press(int row, int columnIndex, int dx = 5)
    {
        QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, cellPoint(row, columnIndex, dx));
    }
    void select(const QList<int> &rows)
    {
        view()->clearSelection();
        for (const int row : rows)
            list().select(row);
    }
    void typeName(int row, const QString &name)
    {
        press(row, BatchModel::Destination);
        QVERIFY(ui().list.listEdit->isVisible());
        QTest::keyClicks(ui().list.listEdit, name);
        QTest::keyClick(ui().list.listEdit, Qt::Key_Return);
    }
    void typeFolder(const QString &text)
    {
        QLineEdit *pathdir = ui().output.pathdir;
        QTest::mouseClick(pathdir, Qt::LeftButton); // selects the whole text
        QTest::keyClicks(pathdir, text);
        QTest::keyClick(pathdir, Qt::Key_Return);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        m_media = m_root.filePath(u"media"_s);
        QVERIFY(QDir().mkpath(m_media) && !TestFiles::useFreshHome(m_root.path()).isEmpty());
        ChildProcess::setProgramFolder(kProgramDir);
        QVERIFY(makeTone(media(u"A.wav"_s), 1));
        QVERIFY(makeTone(media(u"B.wav"_s), 2));
        QVERIFY(makeTone(media(u"C.wav"_s), 3));
    }

    void init()
    {
        m_window.open(kProgramDir, TestWindow::LogWindow::Own);
        QApplication::setActiveWindow(m_window.form());
        QVERIFY(QTest::qWaitForWindowActive(m_window.form()));
        m_out = m_root.filePath(u"out-"_s + QString::fromLatin1(QTest::currentTestFunction()));
        QVERIFY(m_window.useOutputFolder(m_out));
        ui().output.profileBox->setCurrentIndex(kMp3);
    }

    void cleanup() { m_window.close(); }

    // Three rows arranged, one renamed inline, all sent to a new relative folder, one browsed
    // elsewhere; the conversion follows the list's order.
    void usersRoad()
    {
        Q_EMIT m_window->filesDropped({ media(u"A.wav"_s), media(u"B.wav"_s), media(u"C.wav"_s) });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        QCOMPARE(column(BatchModel::Source), QStringList({ u"A.wav"_s, u"B.wav"_s, u"C.wav"_s }));

        press(1, BatchModel::Source); // B
        QTest::mouseClick(ui().list.mUpBtn, Qt::LeftButton);
        QCOMPARE(column(BatchModel::Source), QStringList({ u"B.wav"_s, u"A.wav"_s, u"C.wav"_s }));
        QCOMPARE(list().selectedRows(), QList<int> { 0 });
        QVERIFY(view()->hasFocus());
        press(2, BatchModel::Source); // C is last: down does nothing
        QTest::mouseClick(ui().list.mDownBtn, Qt::LeftButton);
        QCOMPARE(column(BatchModel::Source), QStringList({ u"B.wav"_s, u"A.wav"_s, u"C.wav"_s }));
        press(1, BatchModel::Source); // A down, below C
        QTest::mouseClick(ui().list.mDownBtn, Qt::LeftButton);
        QCOMPARE(column(BatchModel::Source), QStringList({ u"B.wav"_s, u"C.wav"_s, u"A.wav"_s }));
        QCOMPARE(list().job(2).SourcePath, media(u"A.wav"_s)); // the record moved with its row

        // A relative folder that does not exist: asked, made, and every selected row goes there.
        view()->selectAll();
        typeFolder(u"road out"_s);
        const QString roadOut = m_window->programState().defaultOutputFolder + u"/road out"_s;
        QCOMPARE(m_window.dialogs.messageTexts(), QStringList { u"Create a new folder? "_s });
        QCOMPARE(ui().output.pathdir->text(), roadOut);
        QVERIFY(QFileInfo(roadOut).isDir());
        for (int row = 0; row < 3; ++row)
            QCOMPARE(QString(list().job(row).OutputPath), roadOut + u'/' + list().destination(row));

        typeName(2, u"first take"_s);
        QVERIFY(!ui().list.listEdit->isVisible());
        QCOMPARE(list().destination(2), u"first take.mp3"_s);
        QCOMPARE(QString(list().job(2).OutputPath), roadOut + u"/first take.mp3"_s);

        // Browse with one row selected moves that row only.
        const QString elsewhere = m_out + u"/elsewhere"_s;
        QVERIFY(QDir().mkpath(elsewhere));
        press(1, BatchModel::Source); // C alone
        QCOMPARE(ui().output.pathdir->text(), roadOut + u'/'); // the row's folder
        m_window.dialogs.folderAnswers.enqueue(elsewhere);
        QTest::mouseClick(ui().output.browseBtn, Qt::LeftButton);
        QCOMPARE(m_window.dialogs.calls.last().title, u"Please select a folder:"_s);
        QCOMPARE(m_window.dialogs.calls.last().startFolder, u"/"_s);
        QCOMPARE(QString(list().job(1).OutputPath), elsewhere + u"/C.mp3"_s);
        QCOMPARE(QString(list().job(0).OutputPath), roadOut + u"/B.mp3"_s);
        QVERIFY(m_window->programState().destinationHistory.entries().contains(elsewhere));

        const qsizetype logBefore = m_window.log()->text().size();
        QVERIFY(WindowWaits::convert(*m_window.form()));
        QCOMPARE(column(BatchModel::Status), QStringList(3, u"100%"_s));
        QCOMPARE(reportedSeconds(m_window.log()->text().mid(logBefore)), QList<int>({ 2, 3, 1 })); // B, C, A
        const QFileInfo b(roadOut + u"/B.mp3"_s), c(elsewhere + u"/C.mp3"_s), a(roadOut + u"/first take.mp3"_s);
        QVERIFY(b.isFile() && c.isFile() && a.isFile());
        QVERIFY(b.lastModified() <= c.lastModified() && c.lastModified() <= a.lastModified());
        QCOMPARE(QDir(roadOut).entryList(QDir::Files), QStringList({ u"B.mp3"_s, u"first take.mp3"_s }));
    }

    // Yes to "File exists,rewrite?" touches nothing until a conversion finishes: a failed one
    // leaves the file as it was, a good one replaces it.
    void rewriteReplacesOnlyOnSuccess()
    {
        const QString source = m_out + u"/take.wav"_s;
        QVERIFY(QFile::copy(media(u"A.wav"_s), source));
        const QString existing = m_out + u"/keep.mp3"_s;
        QVERIFY(TestFiles::write(existing, "the user's own file"));
        Q_EMIT m_window->filesDropped({ source });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        m_window.dialogs.answers.enqueue(DialogAnswer::Yes);
        typeName(0, u"keep"_s);
        QCOMPARE(m_window.dialogs.messageTexts().last(), u"File exists,rewrite?"_s);
        QCOMPARE(list().destination(0), u"keep.mp3"_s);
        QCOMPARE(TestFiles::read(existing), QByteArray("the user's own file"));

        const QByteArray good = TestFiles::read(source);
        QVERIFY(TestFiles::write(source, QByteArray(8192, '\x5a'))); // the source broke meanwhile
        QVERIFY(WindowWaits::convert(*m_window.form()));
        QCOMPARE(column(BatchModel::Status), QStringList { u" -  -  -  "_s });
        QCOMPARE(TestFiles::read(existing), QByteArray("the user's own file"));
        QCOMPARE(QDir(m_out).entryList(QDir::Files), QStringList({ u"keep.mp3"_s, u"take.wav"_s }));

        QVERIFY(TestFiles::write(source, good));
        QVERIFY(WindowWaits::convert(*m_window.form()));
        QCOMPARE(column(BatchModel::Status), QStringList { u"100%"_s });
        const QByteArray replaced = TestFiles::read(existing);
        QVERIFY(replaced.startsWith("ID3") || replaced.startsWith("\xff"));
        QCOMPARE(list().destination(0), u"keep.mp3"_s);
        QCOMPARE(QDir(m_out).entryList(QDir::Files), QStringList({ u"keep.mp3"_s, u"take.wav"_s }));
    }

    // Names that are another row's source are never offered for replacing; names that would
    // reach another folder are refused with a message and the old name stays.
    void sourcesAndOtherFoldersAreSafe()
    {
        const QString other = m_out + u"/other.mp3"_s;
        QVERIFY(TestMedia::launchInto(
            u"audiotestsrc num-buffers=44 ! audio/x-raw,rate=44100,channels=2 ! lamemp3enc ! id3v2mux"_s, other));
        Q_EMIT m_window->filesDropped({ media(u"A.wav"_s), other });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        QCOMPARE(list().rowCount(), 2);
        typeName(0, u"other"_s);
        QCOMPARE(list().destination(0), u"other(new).mp3"_s);
        QVERIFY(m_window.dialogs.messageTexts().isEmpty());

        typeName(0, u"../escape"_s);
        QCOMPARE(list().destination(0), u"other(new).mp3"_s);
        QCOMPARE(QString(list().job(0).OutputPath), m_out + u"/other(new).mp3"_s);
        QCOMPARE(m_window.dialogs.messageTexts().size(), 1);
        QVERIFY(m_window.dialogs.messageTexts().first().contains(u"\"/\""_s));

        typeName(0, u" x"_s); // a leading blank: the source's own name
        QCOMPARE(list().destination(0), u"A.mp3"_s);
    }

    // The editor opens one pixel inside the Destination column, not on its edge, wherever
    // the list is scrolled, and lies over the cell.
    void destinationEdgeWithScrolling()
    {
        Q_EMIT m_window->filesDropped({ media(u"A.wav"_s) });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        view()->setColumnWidth(BatchModel::Source, 300); // wider than the list: it scrolls
        QApplication::processEvents();
        for (const int scrolled : { 0, 60 }) {
            view()->horizontalScrollBar()->setValue(scrolled);
            const int left = view()->header()->sectionViewportPosition(BatchModel::Destination);
            QCOMPARE(left, 300 + 80 + 80 - scrolled);
            press(0, BatchModel::Destination, 0);
            QVERIFY(!ui().list.listEdit->isVisible());
            press(0, BatchModel::Destination, 1);
            QVERIFY(ui().list.listEdit->isVisible());
            const QRect bounds = view()->visualRect(list().index(0, 0));
            QCOMPARE(ui().list.listEdit->geometry(),
                QRect(left - 1, bounds.top() - 1, view()->columnWidth(BatchModel::Destination), bounds.height() + 2));
            QCOMPARE(ui().list.listEdit->text(), u"A.mp3"_s);
            QCOMPARE(ui().list.listEdit->selectedText(), u"A.mp3"_s); // typing replaces it
            press(0, BatchModel::Destination, view()->columnWidth(BatchModel::Destination)); // right edge
            QVERIFY(!ui().list.listEdit->isVisible());
        }
    }

    // A press shows the row's folder, profile and quality without running the choosers' own
    // handlers, and sets what the row's profile allows.
    void rowPressShowsTheRow()
    {
        ui().output.AQualityBtn->setCurrentIndex(0); // High
        Q_EMIT m_window->filesDropped({ media(u"A.wav"_s) });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        ui().output.profileBox->setCurrentIndex(kFlac);
        Q_EMIT m_window->filesDropped({ media(u"B.wav"_s) });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        QSignalSpy profileChosen(ui().output.profileBox, &QComboBox::activated);
        QSignalSpy qualityChosen(ui().output.AQualityBtn, &QComboBox::activated);

        ui().output.pathdir->setText(u"/somewhere/else"_s);
        ui().output.AQualityBtn->setCurrentIndex(2); // Low
        press(0, BatchModel::Status);
        QCOMPARE(ui().output.pathdir->text(), m_out + u'/');
        QCOMPARE(ui().output.profileBox->currentIndex(), kMp3);
        QCOMPARE(ui().output.AQualityBtn->currentText(), u"High"_s);
        QVERIFY(ui().output.AQualityBtn->isEnabled() && ui().output.settingBtn->isEnabled());

        press(1, BatchModel::FileSize);
        QCOMPARE(ui().output.profileBox->currentIndex(), kFlac);
        QVERIFY(!ui().output.AQualityBtn->isEnabled());
        QVERIFY(!ui().output.settingBtn->isEnabled());
        QCOMPARE(profileChosen.size(), 0);
        QCOMPARE(qualityChosen.size(), 0);
        QCOMPARE(list().job(0).ProfileName.text(), ui().output.profileBox->itemText(kMp3)); // no record changed

        // Below the rows: the editor goes, the preview's name label shows its prompt.
        ui().preview.videoNamelabel->setText(u"B.wav"_s);
        QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, QPoint(20, view()->viewport()->height() - 5));
        QCOMPARE(ui().preview.videoNamelabel->text(), u"Preview the source file"_s);
    }

    // A row whose length is not known ends the press with the conversion failure: nothing
    // after the preview's load is shown.
    void unknownDurationEndsThePress()
    {
        Q_EMIT m_window->filesDropped({ media(u"A.wav"_s) });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        list().job(0).Duration = u"--:--:--"_s;
        ui().output.pathdir->setText(u"/kept"_s);
        press(0, BatchModel::Source);
        QCOMPARE(m_window.dialogs.messageTexts(), QStringList { u"'--' is not a valid integer value"_s });
        QCOMPARE(m_window.dialogs.calls.last().message.caption, u"TOLM Audio Converter"_s);
        QCOMPARE(ui().output.pathdir->text(), u"/kept"_s);
    }

    void removingAndClearing()
    {
        Q_EMIT m_window->filesDropped({ media(u"A.wav"_s), media(u"B.wav"_s), media(u"C.wav"_s) });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        QTest::mouseClick(ui().list.delBtn, Qt::LeftButton); // none selected: none removed
        QCOMPARE(list().rowCount(), 3);
        select({ 0, 2 });
        QTest::mouseClick(ui().list.delBtn, Qt::LeftButton);
        QCOMPARE(column(BatchModel::Source), QStringList { u"B.wav"_s });
        QVERIFY(view()->isVisible() && ui().output.startButton->isEnabled());

        select({ 0 });
        QTest::mouseClick(ui().list.delBtn, Qt::LeftButton); // the last row
        QCOMPARE(list().rowCount(), 0);
        QVERIFY(!view()->isVisible());
        QVERIFY(!ui().output.startButton->isEnabled());
        QVERIFY(!ui().tools.trimBtn->isEnabled() && !ui().tools.effectBtn->isEnabled());

        Q_EMIT m_window->filesDropped({ media(u"A.wav"_s), media(u"B.wav"_s) });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        QVERIFY(ui().output.startButton->isEnabled() && ui().tools.trimBtn->isEnabled());
        QTest::mouseClick(ui().list.clearBtn, Qt::LeftButton);
        QCOMPARE(list().rowCount(), 0);
        QVERIFY(!view()->isVisible() && !ui().output.startButton->isEnabled());
    }

    // Delete on the list removes the selected rows as Remove does, and only when Remove can
    // be pressed; in the name editor it is the editor's own key.
    void deleteKeyRemovesTheSelectedRows()
    {
        Q_EMIT m_window->filesDropped({ media(u"A.wav"_s), media(u"B.wav"_s), media(u"C.wav"_s) });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        view()->setFocus();
        QTest::keyClick(view(), Qt::Key_Delete); // none selected: none removed
        QCOMPARE(list().rowCount(), 3);
        select({ 0, 2 });
        QTest::keyClick(view(), Qt::Key_Delete);
        QCOMPARE(column(BatchModel::Source), QStringList { u"B.wav"_s });

        ui().list.delBtn->setEnabled(false); // as while a batch converts
        select({ 0 });
        QTest::keyClick(view(), Qt::Key_Delete);
        QCOMPARE(list().rowCount(), 1);
        ui().list.delBtn->setEnabled(true);

        press(0, BatchModel::Destination);
        QVERIFY(ui().list.listEdit->isVisible());
        QTest::keyClick(ui().list.listEdit, Qt::Key_End);
        QTest::keyClick(ui().list.listEdit, Qt::Key_Delete);
        QCOMPARE(list().rowCount(), 1);
        QCOMPARE(list().destination(0), u"B.mp3"_s);
        QTest::keyClick(ui().list.listEdit, Qt::Key_Return);

        select({ 0 });
        QTest::keyClick(view(), Qt::Key_Delete); // the last row: as Remove leaves an empty list
        QCOMPARE(list().rowCount(), 0);
        QVERIFY(!view()->isVisible() && !ui().output.startButton->isEnabled());
    }

    // A name the list cuts short shows whole in a tooltip; the destination's also shows
    // where the output goes. Names that fit get none.
    void cutNamesShowWholeInATooltip()
    {
        const QString longName = u"A tone whose name is far too long for the source column of the list.wav"_s;
        QVERIFY(QFile::copy(media(u"A.wav"_s), media(longName)));
        Q_EMIT m_window->filesDropped({ media(u"A.wav"_s), media(longName) });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        QCOMPARE(list().rowCount(), 2);
        const auto tipAt = [this](int row, int columnIndex) {
            const QPoint at = cellPoint(row, columnIndex, 10);
            QHelpEvent help(QEvent::ToolTip, at, view()->viewport()->mapToGlobal(at));
            QApplication::sendEvent(view()->viewport(), &help);
            return QToolTip::isVisible() ? QToolTip::text() : QString();
        };
        QCOMPARE(tipAt(0, BatchModel::Source), QString());
        QCOMPARE(tipAt(0, BatchModel::Destination), QString());
        QCOMPARE(tipAt(1, BatchModel::Source), longName);
        const QString outputName = QFileInfo(longName).completeBaseName() + u".mp3"_s;
        QCOMPARE(list().destination(1), outputName);
        QCOMPARE(tipAt(1, BatchModel::Destination), outputName + u'\n' + m_out + u'/' + outputName);
        tipAt(1, BatchModel::Status); // "ready" fits: the tip goes
        QTRY_VERIFY(!QToolTip::isVisible());
    }

    // Leaving the edit with a folder that does not exist puts back what it held when it
    // was clicked; a valid one joins the history.
    void leavingTheDestinationEdit()
    {
        QLineEdit *pathdir = ui().output.pathdir;
        QTest::mouseClick(pathdir, Qt::LeftButton);
        QTest::keyClicks(pathdir, u"/no/such/folder"_s);
        ui().list.delBtn->setFocus(Qt::TabFocusReason);
        QCOMPARE(pathdir->text(), m_out);

        QTest::mouseClick(pathdir, Qt::LeftButton);
        QTest::keyClicks(pathdir, m_media);
        ui().list.delBtn->setFocus(Qt::TabFocusReason);
        QCOMPARE(pathdir->text(), m_media);
        QVERIFY(m_window->programState().destinationHistory.entries().contains(m_media));

        // Typing the start of it again proposes the rest.
        pathdir->setFocus(Qt::TabFocusReason);
        pathdir->clear();
        QTest::keyClicks(pathdir, m_media.left(m_media.size() - 2));
        QCOMPARE(pathdir->text(), m_media);
        QCOMPARE(pathdir->selectedText(), m_media.right(2));
    }
};

QTEST_MAIN(TestListRoad)
#include "tst_listroad.moc"
