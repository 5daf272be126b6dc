// Arranging the source list: moves, removal and sending rows to a folder, with the records
// going with their rows.

#include "sources/filelist.h"
#include "sources/listoperations.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestListOperations : public QObject
{
    Q_OBJECT

    FileList m_list;

    void fill(const QStringList &names, const QList<int> &selected)
    {
        m_list.clearRows();
        for (const QString &name : names) {
            TStartRecord job;
            job.SourcePath = u"/music/"_s + name + u".wav"_s;
            job.OutputPath = u"/out/"_s + name + u".mp3"_s;
            m_list.appendRow(name + u".wav"_s, u" MB"_s, u"00:00:01"_s, name + u".mp3"_s, job);
        }
        for (const int row : selected)
            m_list.select(row);
    }
    // Each row as caption:record source, so a record left behind shows.
    QString rows() const
    {
        QStringList out;
        for (int row = 0; row < m_list.rowCount(); ++row)
            out << m_list.caption(row).chopped(4) + u':' + m_list.row(row).job.SourcePath.mid(7).chopped(4);
        return out.join(u' ');
    }

private Q_SLOTS:

    void moveRow_data()
    {
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<bool>("up");
        QTest::addColumn<int>("movedTo");
        QTest::addColumn<QString>("order");
        QTest::newRow("B up") << QList<int> { 1 } << true << 0 << u"B:B A:A C:C"_s;
        QTest::newRow("B down") << QList<int> { 1 } << false << 2 << u"A:A C:C B:B"_s;
        QTest::newRow("B and C up: only B") << QList<int> { 1, 2 } << true << 0 << u"B:B A:A C:C"_s;
        QTest::newRow("first up: nothing") << QList<int> { 0 } << true << -1 << u"A:A B:B C:C"_s;
        QTest::newRow("last down: nothing") << QList<int> { 2 } << false << -1 << u"A:A B:B C:C"_s;
        QTest::newRow("none selected: nothing") << QList<int> {} << false << -1 << u"A:A B:B C:C"_s;
    }

    void moveRow()
    {
        QFETCH(QList<int>, selected);
        QFETCH(bool, up);
        QFETCH(int, movedTo);
        QFETCH(QString, order);
        fill({ u"A"_s, u"B"_s, u"C"_s }, selected);
        const QList<QueueRows::RowId> ids { m_list.rowId(0), m_list.rowId(1), m_list.rowId(2) };
        QCOMPARE(MoveRow(m_list, up ? MoveDirection::Up : MoveDirection::Down), movedTo);
        QCOMPARE(rows(), order);
        if (movedTo >= 0) {
            QCOMPARE(m_list.selectedRows(), QList<int> { movedTo }); // the moved row alone
            QCOMPARE(m_list.rowOfId(ids.at(selected.first())), movedTo); // its identity went with it
        }
    }

    // Up and then down from there gives the first order back.
    void upThenDown()
    {
        fill({ u"A"_s, u"B"_s, u"C"_s }, { 1 });
        MoveRow(m_list, MoveDirection::Up);
        MoveRow(m_list, MoveDirection::Down);
        QCOMPARE(rows(), u"A:A B:B C:C"_s);
        QCOMPARE(m_list.selectedRows(), QList<int> { 1 });
    }

    void removeSelectedRows()
    {
        fill({ u"A"_s, u"B"_s, u"C"_s, u"D"_s }, { 1, 3 });
        QCOMPARE(RemoveSelectedRows(m_list), 2);
        QCOMPARE(rows(), u"A:A C:C"_s);
        QCOMPARE(RemoveSelectedRows(m_list), 0); // none selected: none removed
        QCOMPARE(m_list.rowCount(), 2);
    }

    void applyFolder_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QStringList>("paths");
        QTest::newRow("two rows, none selected: no change")
            << 2 << QList<int> {} << u"/new"_s << QStringList { u"/out/A.mp3"_s, u"/out/B.mp3"_s };
        QTest::newRow("one row, none selected: that row")
            << 1 << QList<int> {} << u"/new"_s << QStringList { u"/new/A.mp3"_s };
        QTest::newRow("selected rows only") << 3 << QList<int> { 0, 2 } << u"/new"_s
                                            << QStringList { u"/new/A.mp3"_s, u"/out/B.mp3"_s, u"/new/C.mp3"_s };
        QTest::newRow("trailing separator not doubled")
            << 2 << QList<int> { 1 } << u"/new/"_s << QStringList { u"/out/A.mp3"_s, u"/new/B.mp3"_s };
        QTest::newRow("the root") << 1 << QList<int> { 0 } << u"/"_s << QStringList { u"/A.mp3"_s };
    }

    // The rows' paths move; their Destination names stay.
    void applyFolder()
    {
        QFETCH(int, count);
        QFETCH(QList<int>, selected);
        QFETCH(QString, folder);
        QFETCH(QStringList, paths);
        fill(QStringList({ u"A"_s, u"B"_s, u"C"_s }).first(count), selected);
        ApplyFolderToRows(m_list, folder);
        QStringList now;
        for (int row = 0; row < m_list.rowCount(); ++row) {
            now << m_list.job(row).OutputPath;
            QCOMPARE(m_list.destination(row), m_list.caption(row).chopped(4) + u".mp3"_s);
        }
        QCOMPARE(now, paths);
    }
};

QTEST_MAIN(TestListOperations)
#include "tst_listoperations.moc"
