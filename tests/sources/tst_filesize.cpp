#include "sources/filesize.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestFileSize : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void sizeText_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("nothing shows no digit") << qint64(0) << u" MB"_s;
        QTest::newRow("just under half") << qint64(524287) << u" MB"_s;
        QTest::newRow("half rounds away from zero") << qint64(524288) << u"1 MB"_s;
        QTest::newRow("one and a half") << qint64(1572864) << u"2 MB"_s;
        QTest::newRow("grouped") << qint64(1073741824) << u"1,024 MB"_s;
        QTest::newRow("past 4 GiB") << qint64(5) * 1024 * 1024 * 1024 << u"5,120 MB"_s;
        QTest::newRow("missing file") << qint64(-1) << u" MB"_s;
    }
    void sizeText()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(FileSizeText(bytes), text);
    }

    void groupingFollowsTheLocale()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QString text = FileSizeText(qint64(1073741824));
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(text, u"1.024 MB"_s);
    }

    void sizeOfFiles()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile file(dir.filePath(u"a b.wav"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(1234, 'x'));
        file.close();

        QCOMPARE(FileSizeBytes(file.fileName()), qint64(1234));
        QCOMPARE(FileSizeBytes(dir.filePath(u"missing.wav"_s)), qint64(-1));
        QCOMPARE(FileSizeBytes(QString()), qint64(-1));

        const QString saved = QDir::currentPath();
        QDir::setCurrent(dir.path());
        const qint64 relative = FileSizeBytes(u"a b.wav"_s);
        QDir::setCurrent(saved);
        QCOMPARE(relative, qint64(1234));
    }

    void sparseFileBeyondFourGiBKeepsItsFullSize()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(u"big.raw"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        const qint64 size = qint64(4) * 1024 * 1024 * 1024 + 7;
        QVERIFY(file.resize(size)); // sparse: takes no disk space
        file.close();
        QCOMPARE(FileSizeBytes(file.fileName()), size);
    }
};

QTEST_GUILESS_MAIN(TestFileSize)
#include "tst_filesize.moc"
