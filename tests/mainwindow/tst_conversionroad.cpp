// End to end in the window: files added through the Add dialog and by dropping, probed and
// converted by the real transcoder from the program folder, on media this test makes.

#include "batch/outputchoices.h"
#include "engine/conversionengine.h"
#include "engine/logwindow.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/mainwindowcontrols.h"
#include "mainwindow/picturebutton.h"
#include "platform/childprocess.h"
#include "playback/effectwindow.h"
#include "sources/filelist.h"
#include "sources/sourceadder.h"
#include "testfiles.h"
#include "testmedia.h"
#include "testwindow.h"
#include "windowwaits.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace {

const QString kProgramDir = QStringLiteral(TOLM_PROGRAM_DIR);
constexpr int kAc3 = 1;
constexpr int kMp3 = 5;

constexpr int kWma = 10;

bool makeMedia(const QString &pipelineTail, const QString &path, int buffers)
{
    return TestMedia::launchInto(
        u"audiotestsrc num-buffers=%1 ! audio/x-raw,rate=44100,channels=2 ! "_s.arg(buffers) + pipelineTail, path);
}

using TestMedia::discover;
using TestMedia::Discovered;

} // namespace

class TestConversionRoad : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_media;
    QString m_out;
    TestWindow m_window;

    QString media(const QString &name) const { return m_media + u'/' + name; }
    // The probes' scratch files left in the cache folder.
    QStringList scratchFiles() const { return QDir(m_window->scratchFolder()).entryList({ u"inadd*"_s }, QDir::Files); }
    QStringList statuses() const
    {
        QStringList out;
        for (int i = 0; i < m_window->fileList().rowCount(); ++i)
            out << m_window->fileList().status(i).text();
        return out;
    }
    QString logText() const { return m_window.log()->findChild<QPlainTextEdit *>()->toPlainText(); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        m_media = m_root.filePath(u"media"_s);
        QVERIFY(QDir().mkpath(m_media) && !TestFiles::useFreshHome(m_root.path()).isEmpty());
        ChildProcess::setProgramFolder(kProgramDir);

        // 100 buffers of 1024 samples: 2.32 s; 200: 4.64 s.
        QVERIFY(makeMedia(u"wavenc"_s, media(u"tone one.wav"_s), 100));
        QVERIFY(makeMedia(u"audioconvert ! vorbisenc ! oggmux"_s, media(u"tone-two.ogg"_s), 200));
        QFile broken(media(u"broken.mp3"_s));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        for (int i = 0; i < 4096; ++i)
            broken.write(QByteArray::number(i * 7919 % 251));
    }

    void init()
    {
        m_window.open(kProgramDir, TestWindow::LogWindow::Own);
        m_out = m_root.filePath(u"out-"_s + QString::fromLatin1(QTest::currentTestFunction()));
        QVERIFY(m_window.useOutputFolder(m_out));
        m_window->controls().output.profileBox->setCurrentIndex(kMp3);
    }

    void cleanup() { m_window.close(); }

    void addedFilesConvertWithProgress()
    {
        m_window.dialogs.fileAnswers.enqueue(
            { media(u"tone one.wav"_s), media(u"broken.mp3"_s), media(u"tone-two.ogg"_s) });
        m_window->addButtonClick();
        QVERIFY(WindowWaits::adds(*m_window.form()));

        QCOMPARE(
            m_window.dialogs.calls.first().files.filter, u"Flash Video Format(*.flv)|*.flv|Supported Files(*.*)|*.*"_s);
        QCOMPARE(m_window.dialogs.calls.first().files.filterIndex, 1); // the user's files show
        const QStringList messages = m_window.dialogs.messageTexts();
        QCOMPARE(messages,
            QStringList(
                { u"Video or audio file: \""_s + media(u"broken.mp3"_s) + u"\"  is not valid and fails to load. "_s }));
        const MessageRequest refusal = m_window.dialogs.calls.last().message;
        QCOMPARE(refusal.caption, u"Information"_s);
        QCOMPARE(refusal.buttons, DialogButtons::Yes);
        QCOMPARE(refusal.placement, DialogPlacement::ConfirmOffset);

        const FileList &list = m_window->fileList();
        QCOMPARE(list.rowCount(), 2);
        QVERIFY(m_window->controls().list.listview->isVisible());
        QCOMPARE(list.cellText(0, BatchModel::Source), u"tone one.wav"_s);
        QCOMPARE(list.cellText(0, BatchModel::Duration), u"00:00:02"_s);
        QCOMPARE(list.cellText(0, BatchModel::Destination), u"tone one.mp3"_s);
        QCOMPARE(list.cellText(1, BatchModel::Source), u"tone-two.ogg"_s);
        QCOMPARE(list.cellText(1, BatchModel::Duration), u"00:00:04"_s);
        QCOMPARE(statuses(), QStringList({ u"ready"_s, u"ready"_s }));
        QVERIFY(m_window->controls().output.startButton->isEnabled());
        QTRY_COMPARE(scratchFiles(), QStringList()); // every probe's scratch file is gone

        // While a row converts: the list's reordering buttons wait, the bar shows its caption.
        const MainWindowControls &ui = m_window->controls();
        QStringList during;
        connect(&m_window->queue(), &ConversionEngine::rowStarted, this, [&](int row) {
            during << u"row%1 status=%2 start=%3 timer=%4 remove=%5 up=%6 down=%7 clear=%8 caption=%9 prompt=%10"_s
                          .arg(row)
                          .arg(m_window->fileList().status(row).text())
                          .arg(ui.output.startButton->isEnabled())
                          .arg(ui.output.Timer1->isActive())
                          .arg(ui.list.delBtn->isEnabled())
                          .arg(ui.list.mUpBtn->isEnabled())
                          .arg(ui.list.mDownBtn->isEnabled())
                          .arg(ui.list.clearBtn->isEnabled())
                          .arg(ui.output.ProgressBar1->isTextVisible())
                          .arg(ui.output.progressEdit->isVisible());
        });
        QVERIFY(WindowWaits::convert(*m_window.form()));
        QCOMPARE(during.size(), 2);
        QCOMPARE(
            during.first(), u"row0 status=ready start=0 timer=1 remove=0 up=0 down=0 clear=0 caption=1 prompt=0"_s);
        QVERIFY(ui.output.startButton->isEnabled() && !ui.output.Timer1->isActive());
        QVERIFY(ui.list.delBtn->isEnabled() && ui.list.mUpBtn->isEnabled() && ui.list.mDownBtn->isEnabled()
            && ui.list.clearBtn->isEnabled());
        QVERIFY(!ui.output.ProgressBar1->isTextVisible() && ui.output.progressEdit->isVisible());

        QCOMPARE(statuses(), QStringList({ u"100%"_s, u"100%"_s }));
        for (const QString &name : { u"tone one.mp3"_s, u"tone-two.mp3"_s }) {
            const Discovered d = discover(m_out + u'/' + name);
            QVERIFY2(d.text.contains(u"audio/mpeg"_s) && d.text.contains(u"layer=(int)3"_s), qPrintable(d.text));
            // The whole file, not only its whole seconds (2 and 4) that the Duration column shows.
            const double expected = name.startsWith(u"tone one") ? 2.32 : 4.64;
            QVERIFY2(qAbs(d.seconds - expected) < 0.01, qPrintable(d.text));
        }
        // To the sample, as mpg123 decodes it: 100 buffers of 1024.
        QProcess mpg123;
        mpg123.start(u"mpg123"_s, { u"-q"_s, u"-s"_s, m_out + u"/tone one.mp3"_s });
        QVERIFY(mpg123.waitForFinished(60000) && mpg123.exitCode() == 0);
        QCOMPARE(mpg123.readAllStandardOutput().size(), 100 * 1024 * 4); // 16-bit stereo
        const QString log = logText();
        // The welcome is a line of its own; the refused file's probe text follows (the
        // accepted files' stays out), then each row's own line before its transcoder text.
        QVERIFY(log.startsWith(u"You are welcome!\n"_s));
        const qsizetype refusedText = log.indexOf(u"Error: "_s);
        QVERIFY2(refusedText > 0 && refusedText < log.indexOf(u"Converting"_s), qPrintable(log));
        const QString firstRow = u"\nConverting \"%1\" to \"%2\"\nDuration: 00:00:02"_s.arg(
            media(u"tone one.wav"_s), m_out + u"/tone one.mp3"_s);
        QVERIFY2(log.contains(firstRow), qPrintable(log));
        QVERIFY(log.contains(u"\nConverting \"%1\" to \"%2\"\nDuration: 00:00:04"_s.arg(
            media(u"tone-two.ogg"_s), m_out + u"/tone-two.mp3"_s)));
        QVERIFY(log.contains(u"time="_s));
        QCOMPARE(log.count(u"global"_s), 2); // the two conversions; the probes' text is not copied
        QVERIFY(m_window.power.steps.isEmpty());
    }

    void droppedFilesConvertLikeAddedOnes()
    {
        Q_EMIT m_window->filesDropped({ media(u"tone-two.ogg"_s), media(u"tone one.wav"_s) });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        QCOMPARE(m_window->fileList().rowCount(), 2);
        QCOMPARE(m_window->fileList().caption(0), u"tone-two.ogg"_s);
        QTRY_COMPARE(scratchFiles(), QStringList());
        QVERIFY(WindowWaits::convert(*m_window.form()));
        QCOMPARE(statuses(), QStringList({ u"100%"_s, u"100%"_s }));
        QVERIFY(QFile::exists(m_out + u"/tone-two.mp3"_s));
        QVERIFY(QFile::exists(m_out + u"/tone one.mp3"_s));
    }

    // A dropped folder adds the media below it; albums whose tracks share names convert into
    // their own folders below the destination, made when the row starts, and a new
    // destination keeps them.
    // Album folders chosen in the Add dialog keep their structure below the destination, and
    // keep it when the destination is browsed to afterwards; tracks sharing a name never collide.
    void addedFoldersKeepTheirStructure()
    {
        const QString music = m_root.filePath(u"Music"_s);
        const QString one = music + u"/Album One"_s;
        for (const QString &folder : { u"/CD1"_s, u"/CD2/bonus"_s, u"/empty"_s })
            QVERIFY(QDir().mkpath(one + folder));
        QVERIFY(QDir().mkpath(music + u"/Album Two"_s) && QDir().mkpath(music + u"/Scans"_s));
        QVERIFY(QFile::copy(media(u"tone one.wav"_s), one + u"/CD1/01 song.wav"_s));
        QVERIFY(makeMedia(u"flacenc"_s, one + u"/CD1/02 song.flac"_s, 50));
        QVERIFY(makeMedia(u"lamemp3enc"_s, one + u"/CD2/01 song.mp3"_s, 50));
        QVERIFY(QFile::copy(media(u"tone one.wav"_s), one + u"/CD2/bonus/03 extra.wav"_s));
        QVERIFY(QFile::copy(media(u"tone one.wav"_s), music + u"/Album Two/01 song.wav"_s));
        for (const QString &other :
            QStringList { one + u"/cover.jpg"_s, one + u"/notes.txt"_s, music + u"/Scans/cover.jpg"_s })
            QVERIFY(TestFiles::write(other, "not audio"));

        m_window.dialogs.fileAnswers.enqueue({ one, music + u"/Album Two"_s });
        m_window->addButtonClick();
        QVERIFY(WindowWaits::adds(*m_window.form()));
        QCOMPARE(m_window->fileList().rowCount(), 5);
        QCOMPARE(m_window.dialogs.messageTexts(), QStringList());
        // A folder with nothing to convert says so once and adds nothing.
        m_window.dialogs.fileAnswers.enqueue({ music + u"/Scans"_s });
        m_window->addButtonClick();
        QVERIFY(WindowWaits::adds(*m_window.form()));
        QCOMPARE(
            m_window.dialogs.messageTexts(), QStringList({ SourceAdder::emptyFolderMessage(music + u"/Scans"_s) }));
        QCOMPARE(m_window->fileList().rowCount(), 5);
        QVERIFY(!QFileInfo::exists(m_out + u"/Album One"_s)); // nothing is made before Start

        const QString moved = m_out + u"/moved"_s;
        QVERIFY(QDir().mkpath(moved));
        m_window->controls().list.listview->selectAll();
        m_window.dialogs.folderAnswers.enqueue(moved);
        QTest::mouseClick(m_window->controls().output.browseBtn, Qt::LeftButton);
        QVERIFY(WindowWaits::convert(*m_window.form()));
        QCOMPARE(statuses(), QStringList(5, u"100%"_s));
        QStringList written;
        QDirIterator below(moved, QDir::Files, QDirIterator::Subdirectories);
        while (below.hasNext())
            written << QDir(moved).relativeFilePath(below.next());
        written.sort();
        QCOMPARE(written,
            QStringList({ u"Album One/CD1/01 song.mp3"_s, u"Album One/CD1/02 song.mp3"_s,
                u"Album One/CD2/01 song.mp3"_s, u"Album One/CD2/bonus/03 extra.mp3"_s, u"Album Two/01 song.mp3"_s }));
    }

    void fileAddedDuringARunWaitsForTheNextStart()
    {
        Q_EMIT m_window->filesDropped({ media(u"tone one.wav"_s) });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        bool startEnabledAfterAdd = true;
        connect(&m_window->queue(), &ConversionEngine::rowStarted, this, [&](int row) {
            if (row != 0)
                return;
            Q_EMIT m_window->filesDropped({ media(u"tone-two.ogg"_s) });
            startEnabledAfterAdd = m_window->controls().output.startButton->isEnabled();
        });
        QVERIFY(WindowWaits::convert(*m_window.form()));
        QVERIFY(!startEnabledAfterAdd); // adding a file does not enable Start while a row converts
        QVERIFY(WindowWaits::adds(*m_window.form()));
        QCOMPARE(statuses(), QStringList({ u"100%"_s, u"ready"_s }));
        QVERIFY(!QFile::exists(m_out + u"/tone-two.mp3"_s));
        QVERIFY(WindowWaits::convert(*m_window.form())); // the next Start converts it, and only it
        QCOMPARE(statuses(), QStringList({ u"100%"_s, u"100%"_s }));
    }

    void missingEncoderFailsItsRowAndTheNextStillConverts()
    {
        m_window->controls().output.profileBox->setCurrentIndex(kWma);
        Q_EMIT m_window->filesDropped({ media(u"tone one.wav"_s) });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        m_window->controls().output.profileBox->setCurrentIndex(kMp3);
        Q_EMIT m_window->filesDropped({ media(u"tone one.wav"_s) });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        QVERIFY(WindowWaits::convert(*m_window.form()));
        QCOMPARE(statuses(), QStringList({ u" -  -  -  "_s, u"100%"_s }));
        QVERIFY(logText().contains(u"Unknown encoder"_s));
        QVERIFY(!QFile::exists(m_out + u"/tone one.wma"_s));
        QVERIFY(QFile::exists(m_out + u"/tone one.mp3"_s));
    }

    // The AC3 profile's rows are encoded by our own AC-3 encoder, in the profile's settings.
    void ac3ProfileRowsConvert()
    {
        m_window->controls().output.profileBox->setCurrentIndex(kAc3);
        Q_EMIT m_window->filesDropped({ media(u"tone one.wav"_s), media(u"tone-two.ogg"_s) });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        QVERIFY(WindowWaits::convert(*m_window.form()));
        QCOMPARE(statuses(), QStringList({ u"100%"_s, u"100%"_s }));
        for (const QString &name : { u"tone one.ac3"_s, u"tone-two.ac3"_s }) {
            QFile file(m_out + u'/' + name);
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(name));
            QCOMPARE(file.read(2), QByteArray::fromHex("0b77")); // an AC-3 sync frame starts the file
        }
    }

    void listStaysHiddenWhenNothingWasAdded()
    {
        m_window.dialogs.fileAnswers.enqueue({}); // cancelled
        m_window->addButtonClick();
        QVERIFY(WindowWaits::adds(*m_window.form()));
        QVERIFY(!m_window->controls().list.listview->isVisible());
        m_window.dialogs.fileAnswers.enqueue({ media(u"broken.mp3"_s) });
        m_window->addButtonClick();
        QVERIFY(WindowWaits::adds(*m_window.form()));
        QVERIFY(!m_window->controls().list.listview->isVisible());
        QVERIFY(!m_window->controls().output.startButton->isEnabled());
        Q_EMIT m_window->filesDropped({ media(u"broken.mp3"_s) });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        QVERIFY(!m_window->controls().list.listview->isVisible());
    }

    // Finished rows whose choices change are converted again; the effect dialog changes every
    // selected row; a row whose folder takes no file fails with its reason on screen.
    void finishedRowsRedoneAndFailuresSaid()
    {
        FileList &list = m_window->fileList();
        Q_EMIT m_window->filesDropped({ media(u"tone one.wav"_s), media(u"tone-two.ogg"_s) });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        QVERIFY(WindowWaits::convert(*m_window.form()));
        QCOMPARE(statuses(), QStringList({ u"100%"_s, u"100%"_s }));

        list.select(0);
        list.select(1);
        OutputChoices &choices = m_window->outputChoices();
        choices.setQualityPosition(0);
        Q_EMIT m_window->controls().output.AQualityBtn->activated(0); // the user picks High
        QCOMPARE(statuses(), QStringList({ u"ready"_s, u"ready"_s }));
        WindowWaits::whenModal([this] {
            auto *effect = m_window->findChild<TEffectFrm *>();
            QVERIFY(effect);
            effect->controls().volumeBar->setValue(50);
            effect->controls().okButton->click();
        });
        m_window->effectBtnClick();
        QCOMPARE(list.job(0).Volume, 50);
        QCOMPARE(list.job(1).Volume, 50);
        QVERIFY(WindowWaits::convert(*m_window.form()));
        QCOMPARE(statuses(), QStringList({ u"100%"_s, u"100%"_s }));
        // The first outputs stay; the new ones take free names beside them.
        QCOMPARE(QDir(m_out).entryList(QDir::Files),
            QStringList({ u"tone one-1.mp3"_s, u"tone one.mp3"_s, u"tone-two-1.mp3"_s, u"tone-two.mp3"_s }));
        QCOMPARE(list.destination(1), u"tone-two-1.mp3"_s);

        // The second row's folder takes no more files (a disk gone read-only; /proc refuses the
        // superuser too), set here as a program step.
        list.job(1).OutputPath = u"/proc/tone-two.mp3"_s;
        list.setStatus(1, RowStatus::in(RowState::Ready));
        QVERIFY(WindowWaits::convert(*m_window.form()));
        QCOMPARE(list.status(1).state, RowState::Refused);
        const QString reason = list.index(1, BatchModel::Status).data(BatchModel::ReasonRole).toString();
        QVERIFY2(reason.contains(u"\"/proc\" cannot be written to"_s), qPrintable(reason));
        QCOMPARE(m_window->controls().output.progressEdit->text(), u"1 failed: "_s + reason);
    }

    void openShowsTheDestinationFolder()
    {
        m_window->OpenBtnClick();
        QCOMPARE(m_window.desktop.opened.size(), 1);
        QCOMPARE(m_window.desktop.opened.first(), QUrl::fromLocalFile(m_out));
        QVERIFY(m_window.dialogs.messageTexts().isEmpty());
        // A desktop that cannot open the folder: the user is told.
        m_window.desktop.succeed = false;
        m_window->OpenBtnClick();
        QCOMPARE(m_window.dialogs.messageTexts(), QStringList { u"Can't open the folder "_s + m_out + u" !"_s });
        m_window.desktop.succeed = true;
        m_window->controls().output.pathdir->setText(m_out + u"/missing"_s);
        m_window->OpenBtnClick();
        QCOMPARE(m_window.desktop.opened.size(), 2);
    }

    // A source named with 250 characters (254 bytes): the output keeps its whole name in a
    // path far past 255 characters; the next output, which needs "(new)", gives up the end
    // of its base (whole letters) to stay within a name's 255 bytes.
    void longSourceNameConverts()
    {
        const QString stem = QString(242, u'x') + u"üüüü"_s;
        const QString source = media(stem + u".wav"_s);
        QCOMPARE(QFileInfo(source).fileName().size(), 250);
        QVERIFY(QFile::exists(source) || QFile::copy(media(u"tone one.wav"_s), source));
        Q_EMIT m_window->filesDropped({ source });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        QVERIFY(WindowWaits::convert(*m_window.form()));
        Q_EMIT m_window->filesDropped({ source });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        QVERIFY(WindowWaits::convert(*m_window.form()));
        QCOMPARE(statuses(), QStringList({ u"100%"_s, u"100%"_s }));

        const QStringList names { stem + u".mp3"_s, QString(242, u'x') + u"üü(new).mp3"_s };
        for (int row = 0; row < 2; ++row) {
            QCOMPARE(m_window->fileList().destination(row), names[row]);
            const QString output = m_out + u'/' + names[row];
            QVERIFY(output.size() > 255);
            const Discovered d = discover(output);
            QVERIFY2(qAbs(d.seconds - 2.32) < 0.05, qPrintable(d.text)); // the whole source, to its last sample
        }
        QCOMPARE(names[1].toUtf8().size(), 255);
        QVERIFY(!logText().contains(u"Unknown output format"_s));
    }

    // A row that fails says why in the log, below the window's own line naming its source
    // and output file.
    void failureReasonFollowsTheRowsNameInTheLog()
    {
        Q_EMIT m_window->filesDropped({ media(u"tone one.wav"_s), media(u"tone-two.ogg"_s) });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        QVERIFY(QDir(m_out).removeRecursively()); // the destination goes away before Start
        QVERIFY(WindowWaits::convert(*m_window.form()));
        QCOMPARE(statuses(), QStringList({ u" -  -  -  "_s, u" -  -  -  "_s }));
        const QString log = logText();
        const QString reason = u"Error: Could not create the output file: No such file or directory\n"_s;
        QCOMPARE(log.count(reason), 2);
        const qsizetype first
            = log.indexOf(u"Converting \"%1\" to \"%2\"\n"_s.arg(media(u"tone one.wav"_s), m_out + u"/tone one.mp3"_s));
        const qsizetype second
            = log.indexOf(u"Converting \"%1\" to \"%2\"\n"_s.arg(media(u"tone-two.ogg"_s), m_out + u"/tone-two.mp3"_s));
        QVERIFY2(first >= 0 && second > first, qPrintable(log));
        QVERIFY(log.indexOf(reason) > first && log.indexOf(reason) < second);
        QVERIFY(log.lastIndexOf(reason) > second);
        QVERIFY(!log.contains(u"global"_s)); // neither the probes' text nor a summary
    }

    // Last of all: after Hibernate the program ends, so the application's event loop is told
    // to quit and no later test could wait in it.
    void afterDoneRunsWhenTheBatchIsThrough()
    {
        Q_EMIT m_window->filesDropped({ media(u"tone one.wav"_s) });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        m_window->controls().output.afterDoneBox->setCurrentIndex(3); // Hibernate
        m_window.power.refuse = true;
        QVERIFY(WindowWaits::convert(*m_window.form()));
        QCOMPARE(statuses(), QStringList({ u"100%"_s }));
        QCOMPARE(m_window.power.steps, QStringList({ u"hibernate"_s }));
        QCOMPARE(m_window.dialogs.messageTexts().last(), u"Can't  Hiberate !"_s);
        QVERIFY(!m_window->isVisible()); // the window was closed before the request
    }
};

QTEST_MAIN(TestConversionRoad)
#include "tst_conversionroad.moc"
