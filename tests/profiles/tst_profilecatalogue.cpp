#include "profiles/privateprofile.h"
#include "profiles/profilecatalogue.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestProfileCatalogue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void extension_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("extension");
        QTest::newRow("au") << u"SUN AU Format (*.au)"_s << u".au"_s;
        QTest::newRow("flac") << u"FLAC - Free Lossless Audio Codec (*.flac)"_s << u".flac"_s;
        QTest::newRow("user profile") << u"Voice (*.mp3)"_s << u".mp3"_s;
        QTest::newRow("first (*. counts") << u"A (*.x) B (*.ogg)"_s << u".x) B (*.ogg"_s;
        QTest::newRow("no closing parenthesis loses a letter") << u"Odd (*.wav"_s << u".wa"_s;
        QTest::newRow("nothing after the marker") << u"Bare (*."_s << QString();
        QTest::newRow("no marker: taken by position all the same") << u"abcd"_s << u"bc"_s;
        QTest::newRow("too short") << u"ab"_s << QString();
        QTest::newRow("empty") << QString() << QString();
    }
    void extension()
    {
        QFETCH(QString, name);
        QFETCH(QString, extension);
        QCOMPARE(ProfileExtension(name), extension);
    }

    void builtInNamesGiveTheirExtensions()
    {
        const QStringList names = BuiltInProfileNames();
        QCOMPARE(names.size(), kBuiltInProfileCount);
        const QStringList extensions = { u".aac"_s, u".ac3"_s, u".aiff"_s, u".m4a"_s, u".mp2"_s, u".mp3"_s, u".ogg"_s,
            u".ra"_s, u".au"_s, u".wav"_s, u".wma"_s, u".flac"_s, u".wav"_s, u".wma"_s, u".opus"_s, u".m4a"_s };
        for (int i = 0; i < names.size(); ++i)
            QCOMPARE(ProfileExtension(names.at(i)), extensions.at(i));
    }

    void positionDecidesTheFile()
    {
        const QString catalogue = u"/p/Config/config.ini"_s;
        const QString user = u"/home/u/profile/userprofile.ini"_s;
        QCOMPARE(ProfileFileForPosition(0, catalogue, user), catalogue);
        QCOMPARE(ProfileFileForPosition(13, catalogue, user), catalogue);
        QCOMPARE(ProfileFileForPosition(14, catalogue, user), catalogue); // Opus, after the first fourteen
        QCOMPARE(ProfileFileForPosition(15, catalogue, user), catalogue); // ALAC
        QCOMPARE(ProfileFileForPosition(16, catalogue, user), user);
        QCOMPARE(ProfileFileForPosition(20, catalogue, user), user);
    }

    void userProfileOfABuiltInNameIsReadFromTheUserFile()
    {
        QTemporaryDir dir;
        const QString catalogue = dir.filePath(u"config.ini"_s);
        const QString user = dir.filePath(u"userprofile.ini"_s);
        const QString name = u"MP3 - MPEG Layer-3 Audio (*.mp3)"_s;
        QVERIFY(PrivateProfile::writeString(catalogue, name, u"AudioCodec"_s, u"mp3"_s));
        QVERIFY(PrivateProfile::writeString(user, name, u"AudioCodec"_s, u"mp2"_s));
        QCOMPARE(ReadProfileSettings(ProfileFileForPosition(kBuiltInProfileCount, catalogue, user), name).audioCodec,
            u"mp2"_s);
        QCOMPARE(ReadProfileSettings(ProfileFileForPosition(5, catalogue, user), name).audioCodec, u"mp3"_s);
    }

    void missingSectionGivesTheDefaults()
    {
        QTemporaryDir dir;
        const ProfileSettings s = ReadProfileSettings(dir.filePath(u"none.ini"_s), u"Anything"_s);
        QCOMPARE(s.audioCodec, QString());
        QCOMPARE(s.channels, u"2 Channels Stereo"_s);
        QCOMPARE(s.videoNot, u"False"_s);
        QCOMPARE(s.lossless, u"False"_s);
        QCOMPARE(s.bitrateNot, u"False"_s);
        QCOMPARE(s.sampleRate, u"44100 Hz"_s);
        QCOMPARE(s.bitrateHigh, u"128 kbps"_s);
        QCOMPARE(s.bitrateNormal, u"128 kbps"_s);
        QCOMPARE(s.bitrateLow, u"128 kbps"_s);
        QCOMPARE(s.libraryFile, QString());
    }

    void switchesKeepTheirTextAndLibraryPathsTheLongerBuffer()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(u"u.ini"_s);
        const QString longPath = u"/"_s + QString(260, u'd');
        QVERIFY(PrivateProfile::writeString(file, u"S"_s, u"Lossless"_s, u"true"_s));
        QVERIFY(PrivateProfile::writeString(file, u"S"_s, u"filename"_s, longPath));
        const ProfileSettings s = ReadProfileSettings(file, u"s"_s);
        QCOMPARE(s.lossless, u"true"_s);
        QCOMPARE(s.libraryFile, longPath.left(254));
    }
};

QTEST_GUILESS_MAIN(TestProfileCatalogue)
#include "tst_profilecatalogue.moc"
