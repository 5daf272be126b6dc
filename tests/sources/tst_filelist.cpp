// The list's rows as operations find them: the target-row rule and identities that survive
// removal and moves.

#include "sources/filelist.h"

#include <QTest>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

class TestFileList : public QObject
{
    Q_OBJECT

    QTreeWidget m_view;
    FileList m_list { &m_view };

    void fill(int count)
    {
        m_view.clear();
        for (int i = 0; i < count; ++i) {
            TStartRecord job;
            job.SourcePath = u"/music/%1.wav"_s.arg(i);
            m_list.appendRow(u"%1.wav"_s.arg(i), u" MB"_s, u"00:00:01"_s, u"%1.mp3"_s.arg(i), job);
        }
    }

private Q_SLOTS:
    void init() { m_view.setSelectionMode(QAbstractItemView::ExtendedSelection); }

    void targetRows_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QList<int>>("targets");
        QTest::newRow("empty list") << 0 << QList<int>() << QList<int>();
        QTest::newRow("one row, none selected: it is selected") << 1 << QList<int>() << QList<int> { 0 };
        QTest::newRow("two rows, none selected: no target") << 2 << QList<int>() << QList<int>();
        QTest::newRow("selected, in list order") << 4 << QList<int> { 3, 1 } << QList<int> { 1, 3 };
    }
    void targetRows()
    {
        QFETCH(int, count);
        QFETCH(QList<int>, selected);
        QFETCH(QList<int>, targets);
        fill(count);
        for (int index : selected)
            m_list.row(index)->setSelected(true);
        QCOMPARE(m_list.targetRows(), targets);
        QCOMPARE(m_list.selectedRows(), targets);
    }

    void identitiesSurviveRemovalAndMoves()
    {
        fill(3);
        const QueueRows::RowId first = m_list.rowId(0), last = m_list.rowId(2);
        QVERIFY(first != last && m_list.rowId(1) != last);
        delete m_view.takeTopLevelItem(1);
        QCOMPARE(m_list.rowOfId(last), 1);
        m_view.insertTopLevelItem(0, m_view.takeTopLevelItem(1));
        QCOMPARE(m_list.rowOfId(last), 0);
        QCOMPARE(m_list.rowOfId(first), 1);
        QCOMPARE(m_list.job(0).SourcePath, u"/music/2.wav"_s); // the record moved with its row
        delete m_view.takeTopLevelItem(0);
        QCOMPARE(m_list.rowOfId(last), -1);
        // A new row never takes an identity that was used.
        fill(1);
        QVERIFY(m_list.rowId(0) > last);
    }
};

QTEST_MAIN(TestFileList)
#include "tst_filelist.moc"
