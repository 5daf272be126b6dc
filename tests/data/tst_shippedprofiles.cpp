// The profile catalogue and library files as they ship in the program folder.

#include "media/encodernames.h"
#include "profiles/privateprofile.h"
#include "profiles/profilecatalogue.h"
#include "profiles/profilelibrary.h"

#include <QFileInfo>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kProgramDir = QStringLiteral(TOLM_PROGRAM_DIR);
const QString kCatalogue = kProgramDir + u"/Config/config.ini"_s;

QStringList hz(std::initializer_list<int> rates)
{
    QStringList out;
    for (int r : rates)
        out << u"%1 Hz"_s.arg(r);
    return out;
}

int number(const QString &text)
{
    return text.section(u' ', 0, 0).toInt();
}

} // namespace

class TestShippedProfiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void catalogueHoldsTheBuiltInProfilesInOrder()
    {
        QCOMPARE(PrivateProfile::sectionNames(kCatalogue), BuiltInProfileNames());
    }

    void values_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("codec");
        QTest::addColumn<QString>("lossless");
        QTest::addColumn<QString>("bitrateNot");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QStringList>("qualities"); // High, Normal, Low; empty when not offered

        const QStringList none;
        const QStringList names = BuiltInProfileNames();
        const auto row = [&](int position, const char *codec, const char *lossless, const char *bitrateNot,
                             const char *rate, const QStringList &qualities) {
            QTest::newRow(qPrintable(names.at(position)))
                << names.at(position) << QString::fromLatin1(codec) << QString::fromLatin1(lossless)
                << QString::fromLatin1(bitrateNot) << QString::fromLatin1(rate) << qualities;
        };
        const QStringList usual = { u"192 kbps"_s, u"128 kbps"_s, u"96 kbps"_s };
        row(0, "aac", "False", "False", "44100 Hz", usual);
        row(1, "ac3", "False", "False", "48000 Hz", { u"384 kbps"_s, u"192 kbps"_s, u"128 kbps"_s });
        row(2, "pcm16be", "False", "True", "44100 Hz", none);
        row(3, "aac", "False", "False", "44100 Hz", usual);
        row(4, "mp2", "False", "False", "44100 Hz", { u"256 kbps"_s, u"192 kbps"_s, u"128 kbps"_s });
        row(5, "mp3", "False", "False", "44100 Hz", usual);
        row(6, "vorbis", "False", "False", "44100 Hz", usual);
        row(7, "realaudio", "False", "False", "44100 Hz", { u"96 kbps"_s, u"64 kbps"_s, u"32 kbps"_s });
        row(8, "pcm16be", "False", "True", "44100 Hz", none);
        row(9, "pcm16le", "False", "True", "44100 Hz", none);
        row(10, "wma", "False", "False", "44100 Hz", usual);
        row(11, "flac", "True", "True", "44100 Hz", none);
        row(12, "pcm16le", "True", "True", "44100 Hz", none);
        row(13, "wmalossless", "True", "True", "44100 Hz", none);
        // Opus: no rate of its own (the source's is kept and recorded in the header).
        row(14, "opus", "False", "False", "", { u"160 kbps"_s, u"128 kbps"_s, u"96 kbps"_s });
        row(15, "alac", "True", "True", "44100 Hz", none);
    }
    void values()
    {
        QFETCH(QString, section);
        QFETCH(QString, codec);
        QFETCH(QString, lossless);
        QFETCH(QString, bitrateNot);
        QFETCH(QString, rate);
        QFETCH(QStringList, qualities);

        const ProfileSettings s = ReadProfileSettings(kCatalogue, section);
        QCOMPARE(s.audioCodec, codec);
        QVERIFY(EncoderNames::find(s.audioCodec.toStdString()));
        QCOMPARE(s.channels, u"2 Channels Stereo"_s);
        QCOMPARE(s.videoNot, u"True"_s);
        QCOMPARE(s.lossless, lossless);
        QCOMPARE(s.bitrateNot, bitrateNot);
        QCOMPARE(s.sampleRate, rate);
        if (!qualities.isEmpty())
            QCOMPARE(QStringList({ s.bitrateHigh, s.bitrateNormal, s.bitrateLow }), qualities);

        // The library file lies below the program folder and offers what the section chose.
        QVERIFY(s.libraryFile.startsWith(u"/Config/"_s));
        const QString library = kProgramDir + s.libraryFile;
        QVERIFY2(QFileInfo::exists(library), qPrintable(library));
        const LibraryReadResult read = ReadProfileLibrary(library);
        QCOMPARE(read.error, QString());
        QCOMPARE(read.records.size(), kLibraryRecordCount);

        const ChooserRecord &encoders = read.records.at(int(LibraryChooser::Encoder));
        const ChooserRecord &channels = read.records.at(int(LibraryChooser::Channels));
        const ChooserRecord &rates = read.records.at(int(LibraryChooser::SampleRate));
        const ChooserRecord &bitrates = read.records.at(int(LibraryChooser::Bitrate));
        for (const QString &encoder : encoders.items)
            QVERIFY2(EncoderNames::find(encoder.toStdString()), qPrintable(encoder));
        QCOMPARE(encoders.text, codec);
        QCOMPARE(encoders.items.value(encoders.selectedIndex), codec);
        QCOMPARE(channels.text, s.channels);
        QCOMPARE(channels.items.value(channels.selectedIndex), s.channels);
        for (const QString &c : channels.items)
            QVERIFY(QStringList({ u"1 Channel Mono"_s, u"2 Channels Stereo"_s, u"5.1"_s }).contains(c));

        if (lossless == u"True") {
            QVERIFY(rates.disabled && bitrates.disabled);
            return;
        }
        if (rate.isEmpty()) {
            QVERIFY(rates.disabled && rates.items.isEmpty() && rates.text.isEmpty());
        } else {
            QVERIFY(!rates.disabled);
            QCOMPARE(rates.items.value(rates.selectedIndex), rate);
        }
        if (bitrateNot == u"True") {
            QVERIFY(bitrates.disabled);
        } else {
            QVERIFY(!bitrates.disabled);
            QCOMPARE(bitrates.text, s.bitrateNormal);
            for (const QString &quality : qualities)
                QVERIFY2(bitrates.items.contains(quality), qPrintable(quality));
        }
    }

    // What each format really supports.
    void formatLimits()
    {
        const QStringList names = BuiltInProfileNames();
        const auto records = [&](int position) {
            return ReadProfileLibrary(kProgramDir + ReadProfileSettings(kCatalogue, names.at(position)).libraryFile)
                .records;
        };
        QCOMPARE(records(1).at(2).items, hz({ 32000, 44100, 48000 })); // AC-3
        QCOMPARE(number(records(1).at(3).items.last()), 640); // AC-3
        QCOMPARE(records(5).at(2).items.first(), u"8000 Hz"_s); // MP3
        QCOMPARE(records(5).at(2).items.last(), u"48000 Hz"_s);
        QCOMPARE(number(records(4).at(3).items.first()), 32); // MP2
        QCOMPARE(number(records(4).at(3).items.last()), 384);
        QCOMPARE(number(records(6).at(3).items.last()), 500); // Vorbis
        QVERIFY(!records(0).at(1).items.contains(u"5.1"_s)); // AAC: stereo at most
        QVERIFY(records(14).at(1).items.contains(u"5.1"_s)); // Opus: mapping family 1
        QCOMPARE(number(records(14).at(3).items.first()), 64); // Opus
        QCOMPARE(number(records(14).at(3).items.last()), 256);
        QVERIFY(!records(15).at(1).items.contains(u"5.1"_s)); // ALAC: our encoder codes stereo at most
        for (int position = 0; position < names.size(); ++position) {
            for (const QString &r : records(position).at(2).items)
                QVERIFY(number(r) >= 8000 && number(r) <= 96000);
        }
    }
};

QTEST_GUILESS_MAIN(TestShippedProfiles)
#include "tst_shippedprofiles.moc"
