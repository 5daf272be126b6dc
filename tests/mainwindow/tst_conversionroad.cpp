// End to end in the window: files added through the Add dialog and by dropping, probed and
// converted by the real transcoder from the program folder, on media this test makes.

#include "engine/conversionqueue.h"
#include "engine/logwindow.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/mainwindowcontrols.h"
#include "mainwindow/picturebutton.h"
#include "platform/childprocess.h"
#include "platform/recordingdesktopservices.h"
#include "platform/recordingdialogs.h"
#include "platform/recordingpowercontrol.h"
#include "sources/filelist.h"
#include "testfiles.h"
#include "testmedia.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

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
    RecordingDialogs m_dialogs;
    RecordingDesktopServices m_desktop;
    RecordingPowerControl m_power;
    std::unique_ptr<TForm1> m_form;
    TlogFrm *m_log = nullptr;

    QString media(const QString &name) const { return m_media + u'/' + name; }
    QStringList statuses() const
    {
        QStringList out;
        for (int i = 0; i < m_form->fileList().rowCount(); ++i)
            out << m_form->fileList().status(i);
        return out;
    }
    QString logText() const { return m_log->findChild<QPlainTextEdit *>()->toPlainText(); }

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
        m_dialogs = RecordingDialogs();
        m_power = RecordingPowerControl();
        StartupEnvironment environment = StartupEnvironment::fromSystem(kProgramDir);
        m_form = std::make_unique<TForm1>(MainWindowServices { m_dialogs, m_desktop, m_power }, environment);
        m_log = new TlogFrm(m_form.get());
        m_form->setLogWindow(m_log);
        m_form->show();
        m_out = m_root.filePath(u"out-"_s + QString::fromLatin1(QTest::currentTestFunction()));
        QVERIFY(QDir().mkpath(m_out));
        m_form->controls().output.pathdir->setText(m_out);
        m_form->controls().output.profileBox->setCurrentIndex(kMp3);
    }

    void cleanup() { m_form.reset(); }

    void addedFilesConvertWithProgress()
    {
        m_dialogs.fileAnswers.enqueue({ media(u"tone one.wav"_s), media(u"broken.mp3"_s), media(u"tone-two.ogg"_s) });
        m_form->addButtonClick();

        QCOMPARE(m_dialogs.calls.first().files.filter, u"Flash Video Format(*.flv)|*.flv|Supported Files(*.*)|*.*"_s);
        const QStringList messages = m_dialogs.messageTexts();
        QCOMPARE(messages,
            QStringList(
                { u"Video or audio file: \""_s + media(u"broken.mp3"_s) + u"\"  is not valid and fails to load. "_s }));
        const MessageRequest refusal = m_dialogs.calls.last().message;
        QCOMPARE(refusal.caption, u"Information"_s);
        QCOMPARE(refusal.buttons, DialogButtons::Yes);
        QCOMPARE(refusal.placement, DialogPlacement::ConfirmOffset);

        QTreeWidget *list = m_form->controls().list.listview;
        QCOMPARE(list->topLevelItemCount(), 2);
        QVERIFY(list->isVisible());
        QCOMPARE(list->topLevelItem(0)->text(SourceColumn::Source), u"tone one.wav"_s);
        QCOMPARE(list->topLevelItem(0)->text(SourceColumn::Duration), u"00:00:02"_s);
        QCOMPARE(list->topLevelItem(0)->text(SourceColumn::Destination), u"tone one.mp3"_s);
        QCOMPARE(list->topLevelItem(1)->text(SourceColumn::Source), u"tone-two.ogg"_s);
        QCOMPARE(list->topLevelItem(1)->text(SourceColumn::Duration), u"00:00:04"_s);
        QCOMPARE(statuses(), QStringList({ u"ready"_s, u"ready"_s }));
        QVERIFY(m_form->controls().output.startButton->isEnabled());
        QVERIFY(!QFile::exists(m_form->scratchPath())); // the Add dialog removes the probe's scratch file

        // While a row converts: the list's reordering buttons wait, the bar shows its caption.
        const MainWindowControls &ui = m_form->controls();
        QStringList during;
        connect(&m_form->queue(), &ConversionQueue::rowStarted, this, [&](int row) {
            during << u"row%1 status=%2 start=%3 timer=%4 remove=%5 up=%6 down=%7 clear=%8 caption=%9 prompt=%10"_s
                          .arg(row)
                          .arg(m_form->fileList().status(row))
                          .arg(ui.output.startButton->isEnabled())
                          .arg(ui.output.Timer1->isActive())
                          .arg(ui.list.delBtn->isEnabled())
                          .arg(ui.list.mUpBtn->isEnabled())
                          .arg(ui.list.mDownBtn->isEnabled())
                          .arg(ui.list.clearBtn->isEnabled())
                          .arg(ui.output.ProgressBar1->isTextVisible())
                          .arg(ui.output.progressEdit->isVisible());
        });
        m_form->startButtonClick();
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
        QVERIFY(log.startsWith(u"You are welcome!\nDuration: "_s)); // the welcome is a line of its own
        QVERIFY(log.contains(u"Duration: 00:00:02"_s));
        QVERIFY(log.contains(u"time="_s));
        QCOMPARE(log.count(u"global"_s), 4); // two probes and two conversions
        QVERIFY(m_power.steps.isEmpty());
    }

    void droppedFilesConvertLikeAddedOnes()
    {
        Q_EMIT m_form->filesDropped({ media(u"tone-two.ogg"_s), media(u"tone one.wav"_s) });
        QCOMPARE(m_form->fileList().rowCount(), 2);
        QCOMPARE(m_form->controls().list.listview->topLevelItem(0)->text(SourceColumn::Source), u"tone-two.ogg"_s);
        QVERIFY(QFile::exists(m_form->scratchPath())); // a drop leaves the scratch file
        m_form->startButtonClick();
        QCOMPARE(statuses(), QStringList({ u"100%"_s, u"100%"_s }));
        QVERIFY(QFile::exists(m_out + u"/tone-two.mp3"_s));
        QVERIFY(QFile::exists(m_out + u"/tone one.mp3"_s));
    }

    void fileAddedDuringARunWaitsForTheNextStart()
    {
        Q_EMIT m_form->filesDropped({ media(u"tone one.wav"_s) });
        bool startEnabledAfterAdd = true;
        connect(&m_form->queue(), &ConversionQueue::rowStarted, this, [&](int row) {
            if (row != 0)
                return;
            Q_EMIT m_form->filesDropped({ media(u"tone-two.ogg"_s) });
            startEnabledAfterAdd = m_form->controls().output.startButton->isEnabled();
        });
        m_form->startButtonClick();
        QVERIFY(!startEnabledAfterAdd); // adding a file does not enable Start while a row converts
        QCOMPARE(statuses(), QStringList({ u"100%"_s, u"ready"_s }));
        QVERIFY(!QFile::exists(m_out + u"/tone-two.mp3"_s));
        m_form->startButtonClick(); // the next Start converts it, and only it
        QCOMPARE(statuses(), QStringList({ u"100%"_s, u"100%"_s }));
    }

    void missingEncoderFailsItsRowAndTheNextStillConverts()
    {
        m_form->controls().output.profileBox->setCurrentIndex(kWma);
        Q_EMIT m_form->filesDropped({ media(u"tone one.wav"_s) });
        m_form->controls().output.profileBox->setCurrentIndex(kMp3);
        Q_EMIT m_form->filesDropped({ media(u"tone one.wav"_s) });
        m_form->startButtonClick();
        QCOMPARE(statuses(), QStringList({ u" -  -  -  "_s, u"100%"_s }));
        QVERIFY(logText().contains(u"Unknown encoder"_s));
        QVERIFY(!QFile::exists(m_out + u"/tone one.wma"_s));
        QVERIFY(QFile::exists(m_out + u"/tone one.mp3"_s));
    }

    // The AC3 profile's rows are encoded by our own AC-3 encoder, in the profile's settings.
    void ac3ProfileRowsConvert()
    {
        m_form->controls().output.profileBox->setCurrentIndex(kAc3);
        Q_EMIT m_form->filesDropped({ media(u"tone one.wav"_s), media(u"tone-two.ogg"_s) });
        m_form->startButtonClick();
        QCOMPARE(statuses(), QStringList({ u"100%"_s, u"100%"_s }));
        for (const QString &name : { u"tone one.ac3"_s, u"tone-two.ac3"_s }) {
            QFile file(m_out + u'/' + name);
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(name));
            QCOMPARE(file.read(2), QByteArray::fromHex("0b77")); // an AC-3 sync frame starts the file
        }
    }

    void afterDoneRunsWhenTheBatchIsThrough()
    {
        Q_EMIT m_form->filesDropped({ media(u"tone one.wav"_s) });
        m_form->controls().output.afterDoneBox->setCurrentIndex(3); // Hibernate
        m_power.refuse = true;
        m_form->startButtonClick();
        QCOMPARE(statuses(), QStringList({ u"100%"_s }));
        QCOMPARE(m_power.steps, QStringList({ u"privilege"_s, u"hibernate"_s }));
        QCOMPARE(m_dialogs.messageTexts().last(), u"Can't  Hiberate !"_s);
        QVERIFY(!m_form->isVisible()); // the window was closed before the request
    }

    void listStaysHiddenWhenNothingWasAdded()
    {
        m_dialogs.fileAnswers.enqueue({}); // cancelled
        m_form->addButtonClick();
        QVERIFY(!m_form->controls().list.listview->isVisible());
        m_dialogs.fileAnswers.enqueue({ media(u"broken.mp3"_s) });
        m_form->addButtonClick();
        QVERIFY(!m_form->controls().list.listview->isVisible());
        QVERIFY(!m_form->controls().output.startButton->isEnabled());
        Q_EMIT m_form->filesDropped({ media(u"broken.mp3"_s) });
        QVERIFY(!m_form->controls().list.listview->isVisible());
    }

    void openShowsTheDestinationFolder()
    {
        m_form->OpenBtnClick();
        QCOMPARE(m_desktop.opened.size(), 1);
        QCOMPARE(m_desktop.opened.first(), QUrl::fromLocalFile(m_out));
        m_form->controls().output.pathdir->setText(m_out + u"/missing"_s);
        m_form->OpenBtnClick();
        QCOMPARE(m_desktop.opened.size(), 1);
    }
};

QTEST_MAIN(TestConversionRoad)
#include "tst_conversionroad.moc"
