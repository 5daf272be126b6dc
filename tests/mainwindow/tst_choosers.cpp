// End to end in the window: profiles, qualities, the advanced settings dialog and user
// profiles picked as a user picks them, converted by the real transcoder, and the files on
// disk checked with GStreamer's discoverer and sox.

#include "batch/outputchoices.h"
#include "engine/logwindow.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/mainwindowcontrols.h"
#include "platform/childprocess.h"
#include "platform/placement.h"
#include "profiles/privateprofile.h"
#include "profiles/profilecatalogue.h"
#include "profiles/profilejob.h"
#include "profiles/saveasdialog.h"
#include "profiles/settingsdialog.h"
#include "sources/filelist.h"
#include "testfiles.h"
#include "testmedia.h"
#include "testwindow.h"
#include "windowwaits.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QQueue>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <cmath>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

const QString kProgramDir = QStringLiteral(TOLM_PROGRAM_DIR);
constexpr int kAac = 0;
constexpr int kMp3 = 5;
constexpr int kFlac = 11;
constexpr int kWavLossless = 12;

// What tools the project did not write say of a file: file(1)'s one line, the stream
// GStreamer's discoverer finds, or sox's reading for the formats sox always reads.
struct Outside
{
    QString magic; // file -b
    QString text; // soxi, or gst-discoverer-1.0 -v
    int rate = -1, channels = -1;
    double seconds = -1;
    qint64 soxSamples = -1; // -1: sox does not read it
};

QString run(const QString &program, const QStringList &arguments, int *exitCode = nullptr)
{
    QProcess p;
    p.start(program, arguments);
    p.waitForFinished(30000);
    if (exitCode)
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The whole number that starts the rest of the line after label; -1 when there is none.
qint64 numberAfter(const QString &text, const QString &label)
{
    const qsizetype at = text.indexOf(label);
    if (at < 0)
        return -1;
    bool ok = false;
    const qint64 n = text.mid(at + label.size()).section(u'\n', 0, 0).trimmed().section(u' ', 0, 0).toLongLong(&ok);
    return ok ? n : -1;
}

// sox reads only the formats of libsox-fmt-base, which comes with it; MP3 and MP2 it reads
// only where the optional libsox-fmt-mp3 is installed, and then counts the encoder's padding
// as samples. So each format has one reader whatever else the machine has.
bool soxReads(const QString &path)
{
    static const QStringList kBase { u"wav"_s, u"aiff"_s, u"au"_s, u"flac"_s, u"ogg"_s };
    return kBase.contains(QFileInfo(path).suffix().toLower());
}

Outside inspect(const QString &path)
{
    Outside o;
    o.magic = run(u"file"_s, { u"-b"_s, path }).simplified();
    if (soxReads(path)) {
        int soxExit = -1;
        const QString sox = run(u"soxi"_s, { path }, &soxExit);
        o.text = sox;
        if (soxExit != 0)
            return o;
        o.rate = int(numberAfter(sox, u"Sample Rate    : "_s));
        o.channels = int(numberAfter(sox, u"Channels       : "_s));
        o.soxSamples = numberAfter(sox, u"= "_s);
        o.seconds = double(o.soxSamples) / o.rate;
        return o;
    }
    const TestMedia::Discovered found = TestMedia::discover(path);
    o.text = found.text;
    o.rate = int(numberAfter(o.text, u"Sample rate: "_s));
    o.channels = int(numberAfter(o.text, u"Channels: "_s));
    o.seconds = found.seconds;
    return o;
}

// The 16-bit samples sox decodes, optionally only the first frames.
QByteArray soxSamples(const QString &path, qint64 frames = -1)
{
    QStringList args { path, u"-t"_s, u"s16"_s, u"-"_s };
    if (frames >= 0)
        args << u"trim"_s << u"0"_s << u"%1s"_s.arg(frames);
    QProcess p;
    p.start(u"sox"_s, args);
    p.waitForFinished(30000);
    return p.exitCode() == 0 ? p.readAllStandardOutput() : QByteArray();
}

// A user's pick: the chooser changes and says it was activated.
void pick(QComboBox *chooser, int index)
{
    chooser->setCurrentIndex(index);
    Q_EMIT chooser->activated(index);
}

void pickText(QComboBox *chooser, const QString &text)
{
    const int index = chooser->findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    chooser->setCurrentIndex(index);
    Q_EMIT chooser->activated(index);
}

} // namespace

class TestChoosers : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_media;
    QString m_out;
    QString m_home;
    TestWindow m_window;
    // Names the save-as dialog is given each time it shows; none left: Cancel.
    QQueue<QString> m_saveAsNames;
    QTimer m_saveAsWatch;

    const OutputControls &output() const { return m_window->controls().output; }
    QTreeView *listview() const { return m_window->controls().list.listview; }
    QString media(const QString &name) const { return m_media + u'/' + name; }
    QString profileFolder() const { return m_window->programState().profileFolder; }

    void makeForm()
    {
        m_window.open(kProgramDir, TestWindow::LogWindow::Own);
        output().pathdir->setText(m_out);
    }
    QStringList statuses() const
    {
        QStringList out;
        for (int i = 0; i < m_window->fileList().rowCount(); ++i)
            out << m_window->fileList().status(i).text();
        return out;
    }
    QString destination(int row) const { return m_window->fileList().destination(row); }
    void selectOnly(int row) { m_window->fileList().selectOnly(row); }
    // Opens the settings dialog with the settings button; act() runs while it shows.
    void withSettingsDialog(const std::function<void(TSettingFrm &)> &act)
    {
        std::function<void()> wait = [&] {
            auto *dialog = qobject_cast<TSettingFrm *>(QApplication::activeModalWidget());
            if (!dialog) {
                QTimer::singleShot(10, this, wait);
                return;
            }
            act(*dialog);
            if (dialog->isVisible())
                dialog->reject();
        };
        QTimer::singleShot(0, this, wait);
        output().settingBtn->click();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        m_media = m_root.filePath(u"media"_s);
        m_home = TestFiles::useFreshHome(m_root.path());
        QVERIFY(QDir().mkpath(m_media) && !m_home.isEmpty());
        ChildProcess::setProgramFolder(kProgramDir);
        // 1.5 s of a 16-bit stereo tone: the Duration column says 00:00:01, and all 1.5 s are converted.
        for (int i = 0; i < kBuiltInProfileCount; ++i) {
            QVERIFY(TestMedia::writeWav(
                media(u"tone%1.wav"_s.arg(i, 2, 10, QChar(u'0'))), 44100, 2, 66150, [i](qint64 f, int c) {
                    return 0.3 * std::sin(2 * M_PI * (300.0 + 40 * i + 110 * c) * double(f) / 44100);
                }));
        }

        m_saveAsWatch.setInterval(10);
        connect(&m_saveAsWatch, &QTimer::timeout, this, [this] {
            auto *saveAs = qobject_cast<TsaveasFrm *>(QApplication::activeModalWidget());
            if (!saveAs)
                return;
            if (m_saveAsNames.isEmpty()) {
                saveAs->controls().cancelButton->click();
                return;
            }
            saveAs->controls().nameEdit->setText(m_saveAsNames.dequeue());
            saveAs->controls().okButton->click();
        });
        m_saveAsWatch.start();
    }

    void init()
    {
        m_saveAsNames.clear();
        m_out = m_root.filePath(u"out-"_s + QString::fromLatin1(QTest::currentTestFunction())
            + QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(m_out));
        QDir(m_home).removeRecursively(); // no user profiles from an earlier test
        QVERIFY(QDir().mkpath(m_home));
        makeForm();
    }

    void cleanup() { m_window.close(); }

    void mp3AtEachQuality()
    {
        Q_EMIT m_window->filesDropped({ media(u"tone00.wav"_s), media(u"tone01.wav"_s), media(u"tone02.wav"_s) });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        QCOMPARE(destination(0), u"tone00.aac"_s);
        output().profileBox->setCurrentIndex(kMp3); // a program step: no row changes
        QCOMPARE(destination(0), u"tone00.aac"_s);

        listview()->selectAll();
        pick(output().profileBox, kMp3);
        for (int row = 0; row < 3; ++row)
            QCOMPARE(destination(row), u"tone%1.mp3"_s.arg(row, 2, 10, QChar(u'0')));
        for (int row = 0; row < 3; ++row) {
            selectOnly(row);
            pick(output().AQualityBtn, row); // High, Normal, Low
        }
        QVERIFY(WindowWaits::convert(*m_window.form()));
        QCOMPARE(statuses(), QStringList({ u"100%"_s, u"100%"_s, u"100%"_s }));

        const QStringList rates { u"192 kbps"_s, u"128 kbps"_s, u"96 kbps"_s }; // ABRH, ABRN, ABRL
        for (int row = 0; row < 3; ++row) {
            const Outside o = inspect(m_out + u'/' + destination(row));
            QVERIFY2(o.magic.startsWith(u"MPEG ADTS, layer III, v1, "_s + rates.at(row)), qPrintable(o.magic));
            QVERIFY2(o.text.contains(u"layer=(int)3"_s), qPrintable(o.text));
            QCOMPARE(o.rate, 44100);
            QCOMPARE(o.channels, 2);
            QVERIFY2(std::fabs(o.seconds - 1.5) < 0.1, qPrintable(o.text));
        }
    }

    void settingsDialogMono22050At64()
    {
        Q_EMIT m_window->filesDropped({ media(u"tone03.wav"_s) });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        pick(output().profileBox, kMp3);
        QStringList shown;
        withSettingsDialog([&](TSettingFrm &dialog) {
            shown << dialog.windowTitle() << dialog.controls().profileChooser->currentText()
                  << dialog.controls().bitRateChooser->currentText();
            QCOMPARE(dialog.size(), TSettingFrm::kClientSize);
            QCOMPARE(dialog.pos(), Placement::modalTopLeft(m_window->frameGeometry(), dialog.width()));
            pickText(dialog.controls().channelChooser, u"1 Channel Mono"_s);
            pickText(dialog.controls().sampleRateChooser, u"22050 Hz"_s);
            pickText(dialog.controls().bitRateChooser, u"64 kbps"_s);
            dialog.controls().okButton->click();
        });
        QCOMPARE(shown,
            QStringList({ u"Advanced Profile Settings"_s, u"MP3 - MPEG Layer-3 Audio (*.mp3)"_s, u"128 kbps"_s }));
        QCOMPARE(output().AQualityBtn->currentText(), u"Low"_s);
        QVERIFY(WindowWaits::convert(*m_window.form()));
        QCOMPARE(statuses(), QStringList { u"100%"_s });
        const Outside o = inspect(m_out + u"/tone03.mp3"_s);
        QVERIFY2(o.magic.startsWith(u"MPEG ADTS, layer III, v2, 64 kbps, 22.05 kHz, Monaural"_s), qPrintable(o.magic));
        QCOMPARE(o.rate, 22050);
        QCOMPARE(o.channels, 1);
        QVERIFY2(std::fabs(o.seconds - 1.5) < 0.1, qPrintable(o.text));
        QVERIFY(m_window.dialogs.calls.isEmpty());
    }

    void losslessKeepsTheSamples_data()
    {
        QTest::addColumn<int>("profile");
        QTest::addColumn<QString>("name");
        QTest::newRow("flac") << kFlac << u"tone04.flac"_s;
        QTest::newRow("wav lossless") << kWavLossless << u"tone04.wav"_s;
    }
    void losslessKeepsTheSamples()
    {
        QFETCH(int, profile);
        QFETCH(QString, name);
        Q_EMIT m_window->filesDropped({ media(u"tone04.wav"_s) });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        pick(output().profileBox, profile);
        QVERIFY(!output().settingBtn->isEnabled());
        QVERIFY(!output().AQualityBtn->isEnabled());
        QCOMPARE(output().AQualityBtn->currentText(), u"Lossless"_s);
        QCOMPARE(output().AQualityBtn->count(), 3);
        QCOMPARE(destination(0), name);
        QVERIFY(WindowWaits::convert(*m_window.form()));
        QCOMPARE(statuses(), QStringList { u"100%"_s });

        const QByteArray converted = soxSamples(m_out + u'/' + name);
        QCOMPARE(converted.size(), 66150 * 2 * 2);
        QVERIFY(converted == soxSamples(media(u"tone04.wav"_s)));

        // A lossy profile gives the quality chooser its list back.
        pick(output().profileBox, kMp3);
        QVERIFY(output().settingBtn->isEnabled() && output().AQualityBtn->isEnabled());
        QVERIFY(!output().AQualityBtn->isEditable());
        QCOMPARE(output().AQualityBtn->currentText(), u"Normal"_s);
        QCOMPARE(output().AQualityBtn->count(), 3);
    }

    // The choices and the output card's controls say the same whichever side changes, and only
    // a user's pick changes rows.
    void choicesAndControlsAgree()
    {
        OutputChoices &choices = m_window->outputChoices();
        QCOMPARE(choices.destinationFolder(), m_out); // typed into the edit by makeForm
        Q_EMIT m_window->filesDropped({ media(u"tone00.wav"_s), media(u"tone01.wav"_s) });
        QVERIFY(WindowWaits::adds(*m_window.form()));

        choices.setProfilePosition(kMp3);
        choices.setQualityPosition(0);
        choices.setAfterDone(1);
        QCOMPARE(output().profileBox->currentText(), u"MP3 - MPEG Layer-3 Audio (*.mp3)"_s);
        QCOMPARE(output().AQualityBtn->currentText(), u"High"_s);
        QCOMPARE(output().afterDoneBox->currentText(), u"Browse Output"_s);
        QCOMPARE(destination(0), u"tone00.aac"_s); // a program step: no row changes
        const int lastCount = output().simultaneousBox->count();
        output().simultaneousBox->setCurrentIndex(lastCount - 1);
        QCOMPARE(choices.simultaneous(), lastCount);

        // A lossless pick for the second row makes the chooser say "Lossless"; pressing the
        // first row, still AAC at Normal, shows its quality in the same plain look.
        choices.setQualityPosition(int(QualityPosition::Normal));
        selectOnly(1);
        pick(output().profileBox, kFlac);
        QCOMPARE(output().AQualityBtn->currentText(), u"Lossless"_s);
        const QRect first = listview()->visualRect(m_window->fileList().index(0, BatchModel::Source));
        QTest::mouseClick(listview()->viewport(), Qt::LeftButton, {}, first.center());
        QCOMPARE(output().profileBox->currentIndex(), kAac);
        QVERIFY(output().AQualityBtn->isEnabled() && output().AQualityBtn->isEditable());
        QCOMPARE(output().AQualityBtn->currentText(), u"Normal"_s);
        QCOMPARE(choices.qualityPosition(), int(QualityPosition::Normal));
        QCOMPARE(choices.destinationFolder(), m_out + u'/');
    }

    void userProfileVoice()
    {
        Q_EMIT m_window->filesDropped({ media(u"tone05.wav"_s) });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        pick(output().profileBox, kMp3);
        QString selectedInDialog;
        m_saveAsNames << u"Voice"_s;
        withSettingsDialog([&](TSettingFrm &dialog) {
            pickText(dialog.controls().channelChooser, u"1 Channel Mono"_s);
            pickText(dialog.controls().sampleRateChooser, u"22050 Hz"_s);
            pickText(dialog.controls().bitRateChooser, u"64 kbps"_s);
            dialog.controls().saveAsButton->click();
            selectedInDialog = dialog.controls().profileChooser->currentText();
            dialog.controls().okButton->click();
        });
        QCOMPARE(selectedInDialog, u"Voice (*.mp3)"_s);
        TSettingFrm *const firstDialog = m_window->settingsDialog(); // kept for the next opening
        const QString userFile = profileFolder() + u"/userprofile.ini"_s;
        QCOMPARE(PrivateProfile::sectionNames(userFile), QStringList { u"Voice (*.mp3)"_s });
        QVERIFY(QFileInfo(profileFolder() + u"/Voice"_s).isFile());
        QCOMPARE(output().profileBox->count(), kBuiltInProfileCount + 1);
        QCOMPARE(output().profileBox->currentText(), u"Voice (*.mp3)"_s);

        // Again: a built-in name is refused, an existing one asks first (No: asked again), a
        // new one is saved; Cancel lists it all the same and keeps the main selection.
        m_saveAsNames << u"mp3 - mpeg layer-3 audio"_s << u" Voice"_s << u"Choir"_s;
        m_window.dialogs.answers << DialogAnswer::Ok << DialogAnswer::No;
        withSettingsDialog([&](TSettingFrm &dialog) {
            QCOMPARE(&dialog, firstDialog);
            dialog.controls().saveAsButton->click();
            dialog.controls().cancelButton->click();
        });
        QCOMPARE(m_window.dialogs.messageTexts(),
            QStringList({ u"Default profile can't be overwritten, please use another name."_s,
                u"Would you like to replace the existing profile   Voice ?"_s }));
        QCOMPARE(m_window.dialogs.calls.last().owner, m_window.form());
        QCOMPARE(m_window.dialogs.calls.last().message.placement, DialogPlacement::ConfirmOffset);
        QCOMPARE(output().profileBox->count(), kBuiltInProfileCount + 2);
        QCOMPARE(output().profileBox->itemText(kBuiltInProfileCount + 1), u"Choir (*.mp3)"_s);
        QCOMPARE(output().profileBox->currentText(), u"Voice (*.mp3)"_s);

        // The next start lists it after the built-in profiles, and it converts as it holds.
        m_window.close();
        makeForm();
        QCOMPARE(output().profileBox->count(), kBuiltInProfileCount + 2);
        QCOMPARE(output().profileBox->itemText(kBuiltInProfileCount), u"Voice (*.mp3)"_s);
        QCOMPARE(output().profileBox->itemText(kBuiltInProfileCount + 1), u"Choir (*.mp3)"_s);
        QCOMPARE(output().profileBox->currentIndex(), 0);
        Q_EMIT m_window->filesDropped({ media(u"tone05.wav"_s) });
        QVERIFY(WindowWaits::adds(*m_window.form()));
        pick(output().profileBox, kBuiltInProfileCount);
        QCOMPARE(destination(0), u"tone05.mp3"_s);
        QVERIFY(WindowWaits::convert(*m_window.form()));
        QCOMPARE(statuses(), QStringList { u"100%"_s });
        const Outside o = inspect(m_out + u"/tone05.mp3"_s);
        // Normal: the MP3 profile's rate, copied into Voice
        QVERIFY2(o.magic.startsWith(u"MPEG ADTS, layer III, v2, 128 kbps, 22.05 kHz, Monaural"_s), qPrintable(o.magic));
        QCOMPARE(o.rate, 22050);
        QCOMPARE(o.channels, 1);
    }

    void settingsNeedARow()
    {
        output().settingBtn->click();
        QCOMPARE(m_window.dialogs.messageTexts(), QStringList { u"First select a file(s)!"_s });
        QVERIFY(!m_window->settingsDialog()->isVisible());
    }

    void everyCatalogueProfileConverts()
    {
        QStringList files;
        for (int i = 0; i < kBuiltInProfileCount; ++i)
            files << media(u"tone%1.wav"_s.arg(i, 2, 10, QChar(u'0')));
        Q_EMIT m_window->filesDropped(files);
        QVERIFY(WindowWaits::adds(*m_window.form()));
        for (int row = 0; row < kBuiltInProfileCount; ++row) {
            selectOnly(row);
            pick(output().profileBox, row);
        }
        QVERIFY(WindowWaits::convert(*m_window.form()));

        const QStringList names = BuiltInProfileNames();
        const QString catalogue = kProgramDir + kCatalogueRelativePath;
        // What file(1) calls each profile's output; empty: no encoder for it here.
        const QStringList formats { u"MPEG ADTS, AAC, v2 LC, 44.1 kHz, stereo"_s,
            u"ATSC A/52 aka AC-3 aka Dolby Digital stream, 48 kHz"_s, u"IFF data, AIFF audio"_s,
            u"ISO Media, Apple iTunes ALAC/AAC-LC (.M4A) Audio"_s, u"MPEG ADTS, layer II, v1, 192 kbps"_s,
            u"MPEG ADTS, layer III, v1, 128 kbps"_s, u"Ogg data, Vorbis audio, stereo, 44100 Hz"_s, {},
            u"Sun/NeXT audio data: 16-bit linear PCM, stereo, 44100 Hz"_s, u"RIFF (little-endian) data, WAVE audio"_s,
            {}, u"FLAC audio bitstream data, 16 bit, stereo, 44.1 kHz"_s, u"RIFF (little-endian) data, WAVE audio"_s,
            {}, u"Ogg data, Opus audio, version 0.1, stereo, 44100 Hz (Input Sample Rate)"_s,
            u"ISO Media, Apple iTunes ALAC/AAC-LC (.M4A) Audio"_s };
        int valid = 0;
        const QString log = m_window.log()->findChild<QPlainTextEdit *>()->toPlainText();
        for (int row = 0; row < kBuiltInProfileCount; ++row) {
            const QString path = m_out + u'/' + destination(row);
            if (formats.at(row).isEmpty()) {
                QCOMPARE(m_window->fileList().status(row).text(), u" -  -  -  "_s);
                QVERIFY(!QFile::exists(path));
                continue;
            }
            QVERIFY2(m_window->fileList().status(row).isDone(), qPrintable(names.at(row)));
            const Outside o = inspect(path);
            QVERIFY2(o.magic.startsWith(formats.at(row)), qPrintable(names.at(row) + u'\n' + o.magic));
            ++valid;
            if (o.rate < 0) // neither sox nor the discoverer decodes AAC here: file(1) has said it
                continue;
            // Opus keeps the source's rate in its header (file(1) read it above) and decodes
            // at 48 kHz, as every Opus stream does.
            const int rate
                = PrivateProfile::readString(catalogue, names.at(row), u"ASR"_s, {}).section(u' ', 0, 0).toInt();
            QCOMPARE(o.rate, names.at(row).startsWith(u"OPUS"_s) ? 48000 : rate);
            QCOMPARE(o.channels, 2);
            if (o.soxSamples >= 0 && !names.at(row).startsWith(u"OGG"))
                QCOMPARE(o.soxSamples, 66150);
            else
                QVERIFY2(std::fabs(o.seconds - 1.5) < 0.1, qPrintable(names.at(row) + u'\n' + o.text));
        }
        QCOMPARE(valid, 13);
        QCOMPARE(log.count(u"Unknown encoder"_s), 3);
    }
};

QTEST_MAIN(TestChoosers)
#include "tst_choosers.moc"
