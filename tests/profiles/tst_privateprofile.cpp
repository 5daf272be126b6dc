#include "profiles/privateprofile.h"
#include "testfiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
namespace PP = PrivateProfile;

namespace {

QString readAll(const QString &path)
{
    return QString::fromUtf8(TestFiles::read(path));
}

} // namespace

class TestPrivateProfile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_path;

private Q_SLOTS:
    void init()
    {
        m_path = m_dir.filePath(u"profile.ini"_s);
        QFile::remove(m_path);
        QVERIFY(TestFiles::write(m_path,
            (u"; shipped profiles\r\n"
             u"[MP3 - MPEG Layer-3 Audio (*.mp3)]\r\n"
             u"AudioCodec=mp3\r\n"
             u"  ASR = 44100 Hz  \r\n"
             u"quoted=\"two  blanks \"\r\n"
             u"\r\n"
             u"[Other]\r\n"
             u"AudioCodec=vorbis\r\n"_s)
                .toUtf8()));
    }

    void lookupIgnoresLetterCase()
    {
        QCOMPARE(PP::readString(m_path, u"mp3 - mpeg LAYER-3 audio (*.MP3)"_s, u"audiocodec"_s, u"x"_s), u"mp3"_s);
        QCOMPARE(PP::readString(m_path, u"OTHER"_s, u"AUDIOCODEC"_s, u"x"_s), u"vorbis"_s);
    }

    void blanksAroundAndQuotesAreDropped()
    {
        QCOMPARE(PP::readString(m_path, u"Other"_s, u"x"_s, {}), QString());
        QCOMPARE(PP::readString(m_path, u"MP3 - MPEG Layer-3 Audio (*.mp3)"_s, u"ASR"_s, {}), u"44100 Hz"_s);
        QCOMPARE(PP::readString(m_path, u"MP3 - MPEG Layer-3 Audio (*.mp3)"_s, u"quoted"_s, {}), u"two  blanks "_s);
    }

    void missingFileSectionOrKeyGivesTheDefault()
    {
        QCOMPARE(PP::readString(m_dir.filePath(u"none.ini"_s), u"Other"_s, u"AudioCodec"_s, u"d1"_s), u"d1"_s);
        QCOMPARE(PP::readString(m_path, u"Nothing"_s, u"AudioCodec"_s, u"d2"_s), u"d2"_s);
        QCOMPARE(PP::readString(m_path, u"Other"_s, u"ASR"_s, u"d3"_s), u"d3"_s);
        // a key of another section is not found in this one
        QCOMPARE(PP::readString(m_path, u"Other"_s, u"quoted"_s, u"d4"_s), u"d4"_s);
    }

    void valuesAreCutToTheBuffer()
    {
        const QString longValue = QString(300, u'v');
        QVERIFY(PP::writeString(m_path, u"Other"_s, u"long"_s, longValue));
        QCOMPARE(PP::readString(m_path, u"Other"_s, u"long"_s, {}), longValue.left(99));
        QCOMPARE(PP::readString(m_path, u"Other"_s, u"long"_s, {}, PP::kPathBuffer), longValue.left(254));
        QCOMPARE(PP::readString(m_path, u"Other"_s, u"missing"_s, longValue), longValue.left(99));
    }

    void newKeyIsAppendedToTheEndOfItsSection()
    {
        QVERIFY(PP::writeString(m_path, u"mp3 - mpeg layer-3 audio (*.mp3)"_s, u"ABRN"_s, u"128 kbps"_s));
        QCOMPARE(readAll(m_path),
            u"; shipped profiles\n"
            u"[MP3 - MPEG Layer-3 Audio (*.mp3)]\n"
            u"AudioCodec=mp3\n"
            u"  ASR = 44100 Hz  \n"
            u"quoted=\"two  blanks \"\n"
            u"ABRN=128 kbps\n"
            u"\n"
            u"[Other]\n"
            u"AudioCodec=vorbis\n"_s);
    }

    void existingKeyIsReplacedWhereItStands()
    {
        QVERIFY(PP::writeString(m_path, u"Other"_s, u"audiocodec"_s, u"flac"_s));
        QCOMPARE(PP::readString(m_path, u"Other"_s, u"AudioCodec"_s, {}), u"flac"_s);
        QVERIFY(readAll(m_path).endsWith(u"[Other]\naudiocodec=flac\n"_s));
        QCOMPARE(readAll(m_path).count(u"flac"_s), 1);
    }

    void writeCreatesFileAndSection()
    {
        const QString path = m_dir.filePath(u"user.ini"_s);
        QFile::remove(path);
        QVERIFY(PP::writeString(path, u"Voice (*.mp3)"_s, u"VideoNot"_s, u"False"_s));
        QVERIFY(PP::writeString(path, u"Voice (*.mp3)"_s, u"Lossless"_s, u"False"_s));
        QVERIFY(PP::writeString(path, u"Talk (*.aac)"_s, u"AudioCodec"_s, u"aac"_s));
        QCOMPARE(readAll(path), u"[Voice (*.mp3)]\nVideoNot=False\nLossless=False\n[Talk (*.aac)]\nAudioCodec=aac\n"_s);
        QCOMPARE(PP::sectionNames(path), QStringList({ u"Voice (*.mp3)"_s, u"Talk (*.aac)"_s }));
    }

    void writeIntoAMissingFolderFailsAndCreatesNothing()
    {
        const QString path = m_dir.filePath(u"no/such/folder/user.ini"_s);
        QVERIFY(!PP::writeString(path, u"S"_s, u"K"_s, u"V"_s));
        QVERIFY(!QFile::exists(path));
    }

    void sectionsListedInFileOrder()
    {
        QCOMPARE(PP::sectionNames(m_path), QStringList({ u"MP3 - MPEG Layer-3 Audio (*.mp3)"_s, u"Other"_s }));
        QCOMPARE(PP::sectionNames(m_dir.filePath(u"none.ini"_s)), QStringList());
    }

    void sectionListStopsAtItsBuffer()
    {
        // 1000 names of 19 characters take 20 each with their zero; with the final zero
        // 819 fit in 16384 (16381), the 820th would not (16401).
        QString text;
        for (int i = 0; i < 1000; ++i)
            text += u"[Section number %1]\n"_s.arg(i, 4, 10, QLatin1Char('0'));
        QVERIFY(TestFiles::write(m_path, text.toUtf8()));
        const QStringList names = PP::sectionNames(m_path);
        QCOMPARE(names.size(), 819);
        QCOMPARE(names.first(), u"Section number 0000"_s);
        QCOMPARE(names.last(), u"Section number 0818"_s);
    }
};

QTEST_GUILESS_MAIN(TestPrivateProfile)
#include "tst_privateprofile.moc"
