// tolm-convert on inputs that are odd rather than wrong, end to end with the real program and
// sonmill on files the test makes: what converts does, and what does not is named.

#include "testfiles.h"
#include "testmedia.h"
#include "testprocess.h"

#include <QDir>
#include <QFileInfo>
#include <QList>
#include <QProcess>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString kProgramDir = QStringLiteral(TOLM_PROGRAM_DIR);
using Run = TestProcess::Ended;

// What is wrong with a program's output as a terminal would take it: a control character
// other than the line end, a C1 control or a character that reorders text, or bytes that
// are not UTF-8. Empty when nothing is.
QString terminalFault(const QByteArray &bytes)
{
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = quint8(bytes[i]);
        if ((b < 0x20 && b != '\n') || b == 0x7f)
            return u"control byte 0x%1 at %2"_s.arg(b, 2, 16, QChar(u'0')).arg(i);
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    if (decoder.hasError())
        return u"not UTF-8"_s;
    for (const char32_t c : text.toUcs4())
        if ((c >= 0x80 && c <= 0x9f) || (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069))
            return u"character U+%1"_s.arg(uint(c), 4, 16, QChar(u'0'));
    return {};
}

} // namespace

class TestCliBadInput : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;

    QString path(const QString &relative) const { return m_root.filePath(relative); }

    Run convert(const QStringList &arguments) const
    {
        QProcess process;
        process.setProcessEnvironment(TestProcess::terminalEnvironment(path(u"home"_s), path(u"cache"_s)));
        process.setWorkingDirectory(m_root.path());
        process.start(kProgramDir + u"/tolm-convert"_s, arguments);
        return TestProcess::waitForEnd(process, 120000);
    }

    static bool wav(const QString &file, qint64 frames, int rate = 44100)
    {
        QDir().mkpath(QFileInfo(file).path());
        return TestMedia::writeWav(
            file, rate, 2, frames, [](qint64 frame, int) { return 0.3 * std::sin(double(frame) * 0.05); });
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        QVERIFY(QDir().mkpath(path(u"home"_s)));
        QVERIFY(QDir().mkpath(path(u"cache"_s)));
    }

    // A file shorter than a second is a file like any other: it converts whole.
    void shorterThanASecond_data()
    {
        QTest::addColumn<qint64>("frames");
        QTest::newRow("10 ms") << qint64(441);
        QTest::newRow("0.5 s") << qint64(22050);
        QTest::newRow("0.99 s") << qint64(43659);
        QTest::newRow("1.5 s, as before") << qint64(66150);
    }

    void shorterThanASecond()
    {
        QFETCH(qint64, frames);
        const QString name = u"short-%1"_s.arg(frames);
        QVERIFY(wav(path(u"short/"_s + name + u".wav"_s), frames));
        const QString out = path(u"short-out"_s);
        const Run run = convert({ u"-p"_s, u"flac"_s, u"-o"_s, out, u"short/"_s + name + u".wav"_s });
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const TestMedia::Discovered found = TestMedia::discover(out + u'/' + name + u".flac"_s);
        QVERIFY2(std::fabs(found.seconds - double(frames) / 44100) < 0.002,
            qPrintable(u"%1 s: %2"_s.arg(found.seconds).arg(found.text)));
    }

    // Text from files reaches the terminal with its controls made visible: titles and FILE
    // names of CUE sheets with escape sequences, a binary file named .cue, a sheet in UTF-16
    // without a byte order mark, a file whose own name holds an escape sequence.
    void fileTextIsMadeSafe_data()
    {
        QTest::addColumn<QString>("name"); // the file given, in the folder "texts"
        QTest::addColumn<QByteArray>("content"); // empty: a short WAV
        QTest::addColumn<bool>("dryRun");
        QTest::addColumn<QString>("shown"); // what stands in the output where the controls were
        const QByteArray sheet = "FILE \"image.wav\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"A\033]0;owned\007B\033[2JC\"\n"
                                 "    INDEX 01 00:00:00\n";
        QTest::newRow("CUE title with escape sequences")
            << u"title.cue"_s << sheet << true << u"A\\x1b]0;owned\\x07B\\x1b[2JC"_s;
        QTest::newRow("CUE FILE name with escape sequences")
            << u"file.cue"_s << QByteArray("FILE \"x\033[2Jy\u202e.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n")
            << false << u"x\\x1b[2Jy\\u202e.wav"_s;
        QByteArray binary;
        for (int i = 0; i < 2048; ++i)
            binary += char((i * 37 + 11) % 256);
        QTest::newRow("binary file named .cue") << u"binary.cue"_s << binary << false << QString();
        QByteArray utf16;
        for (const QChar c : QString::fromLatin1(sheet))
            utf16 += char(c.unicode() & 0xff) + QByteArray(1, char(c.unicode() >> 8));
        QTest::newRow("UTF-16 sheet without a byte order mark") << u"utf16.cue"_s << utf16 << false << QString();
        QTest::newRow("a file name with an escape sequence")
            << u"tone\033]0;owned\007.wav"_s << QByteArray() << false << u"tone\\x1b]0;owned\\x07.wav"_s;
    }

    void fileTextIsMadeSafe()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(bool, dryRun);
        QFETCH(QString, shown);
        QVERIFY(wav(path(u"texts/image.wav"_s), 44100));
        if (content.isEmpty())
            QVERIFY(wav(path(u"texts/"_s + name), 44100));
        else
            QVERIFY(TestFiles::write(path(u"texts/"_s + name), content));
        QStringList arguments { u"-p"_s, u"flac"_s, u"-o"_s, path(u"texts-out"_s), u"texts/"_s + name };
        if (dryRun)
            arguments.prepend(u"--dry-run"_s);
        QProcess process;
        process.setProcessEnvironment(TestProcess::terminalEnvironment(path(u"home"_s), path(u"cache"_s)));
        process.setWorkingDirectory(m_root.path());
        process.start(kProgramDir + u"/tolm-convert"_s, arguments);
        QVERIFY(process.waitForFinished(120000));
        const QByteArray out = process.readAllStandardOutput();
        const QByteArray err = process.readAllStandardError();
        QVERIFY2(terminalFault(out).isEmpty(), qPrintable(terminalFault(out) + u": "_s + QString::fromUtf8(out)));
        QVERIFY2(terminalFault(err).isEmpty(), qPrintable(terminalFault(err) + u": "_s + QString::fromUtf8(err)));
        if (!shown.isEmpty())
            QVERIFY2(QString::fromUtf8(out + err).contains(shown), qPrintable(QString::fromUtf8(out + err)));
        QVERIFY(!out.isEmpty() || !err.isEmpty());
    }

    // A folder walk names what it cannot take, and the exit status says not everything was
    // converted: a media file whose name is not valid UTF-8, a sub-folder that cannot be read.
    // Root reads every folder, so as root the run is made as another user.
    void walkNamesWhatItCannotTake()
    {
        const bool asStranger = ::geteuid() == 0;
        if (asStranger && !QFile::exists(u"/usr/bin/setpriv"_s))
            QSKIP("another user is needed to meet a folder that cannot be read");
        const QString album = path(u"walk/album"_s);
        QVERIFY(wav(album + u"/ok.wav"_s, 4410));
        QVERIFY(wav(album + u"/locked/inner.wav"_s, 4410));
        const QByteArray badName = QFile::encodeName(album) + "/bad\xff\xfe.wav";
        const int fd = ::open(badName.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        QVERIFY(fd >= 0);
        const QByteArray okBytes = TestFiles::read(album + u"/ok.wav"_s);
        QCOMPARE(::write(fd, okBytes.constData(), size_t(okBytes.size())), ssize_t(okBytes.size()));
        ::close(fd);
        QCOMPARE(::chmod(QFile::encodeName(album + u"/locked"_s).constData(), 0), 0);
        const auto unlock = qScopeGuard([&] { ::chmod(QFile::encodeName(album + u"/locked"_s).constData(), 0755); });
        const QString out = path(u"walk-out"_s);
        QVERIFY(QDir().mkpath(out));
        QProcess process;
        QProcessEnvironment env
            = TestProcess::terminalEnvironment(path(u"strangerhome"_s), path(u"strangerhome/cache"_s));
        QVERIFY(QDir().mkpath(path(u"strangerhome/cache"_s)));
        process.setWorkingDirectory(path(u"walk"_s));
        if (asStranger) {
            // The stranger reaches the tree, writes the outputs and its own home.
            for (const QString &folder : { m_root.path(), path(u"walk"_s), album })
                QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
            for (const QString &folder : { out, path(u"strangerhome"_s), path(u"strangerhome/cache"_s) })
                QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0777), 0);
            process.setProcessEnvironment(env);
            process.start(u"/usr/bin/setpriv"_s,
                { u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s, u"--"_s,
                    kProgramDir + u"/tolm-convert"_s, u"-r"_s, u"-p"_s, u"flac"_s, u"-o"_s, out, u"album"_s });
        } else {
            process.setProcessEnvironment(env);
            process.start(kProgramDir + u"/tolm-convert"_s, { u"-r"_s, u"-p"_s, u"flac"_s, u"-o"_s, out, u"album"_s });
        }
        const Run run = TestProcess::waitForEnd(process, 120000);
        QVERIFY2(run.exitCode == 1, qPrintable(u"%1: %2"_s.arg(run.exitCode).arg(run.err)));
        QVERIFY2(run.err.contains(u"tolm-convert: album/locked: the folder cannot be read"_s), qPrintable(run.err));
        QVERIFY2(run.err.contains(u"tolm-convert: album/bad\uFFFD\uFFFD.wav: its name is not valid UTF-8"_s),
            qPrintable(run.err));
        QVERIFY2(run.out.contains(u"converted: album/ok.wav"_s), qPrintable(run.out));
        QVERIFY(QFileInfo::exists(out + u"/album/ok.flac"_s));
    }
};

QTEST_GUILESS_MAIN(TestCliBadInput)
#include "tst_clibadinput.moc"
