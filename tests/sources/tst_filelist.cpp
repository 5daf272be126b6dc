// The list's rows as operations and views find them: the target-row rule, identities that
// survive removal and moves, what each row state shows, and a view following the model.

#include "sources/filelist.h"

#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

using namespace Qt::StringLiterals;

class TestFileList : public QObject
{
    Q_OBJECT

    FileList m_list;

    void fill(int count)
    {
        m_list.clearRows();
        for (int i = 0; i < count; ++i) {
            TStartRecord job;
            job.SourcePath = u"/music/%1.wav"_s.arg(i);
            m_list.appendRow(u"%1.wav"_s.arg(i), u" MB"_s, u"00:00:01"_s, u"%1.mp3"_s.arg(i), job);
        }
    }

private Q_SLOTS:
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
            m_list.select(index);
        QCOMPARE(m_list.targetRows(), targets);
        QCOMPARE(m_list.selectedRows(), targets);
    }

    void identitiesSurviveRemovalAndMoves()
    {
        fill(3);
        const QueueRows::RowId first = m_list.rowId(0), last = m_list.rowId(2);
        QVERIFY(first != last && m_list.rowId(1) != last);
        m_list.removeRow(1);
        QCOMPARE(m_list.rowOfId(last), 1);
        m_list.moveRow(1, 0);
        QCOMPARE(m_list.rowOfId(last), 0);
        QCOMPARE(m_list.rowOfId(first), 1);
        QCOMPARE(m_list.job(0).SourcePath, u"/music/2.wav"_s); // the record moved with its row
        m_list.removeRow(0);
        QCOMPARE(m_list.rowOfId(last), -1);
        // A new row never takes an identity that was used.
        fill(1);
        QVERIFY(m_list.rowId(0) > last);
    }

    // The Status column's texts are what users and the window's tests have always seen.
    void statusTexts_data()
    {
        QTest::addColumn<RowStatus>("status");
        QTest::addColumn<QString>("shown");
        QTest::newRow("ready") << RowStatus {} << u"ready"_s;
        QTest::newRow("waiting for its turn") << RowStatus::in(RowState::Waiting) << u"ready"_s;
        QTest::newRow("started") << RowStatus::converting(0) << u"0%"_s;
        QTest::newRow("past its length") << RowStatus::converting(104) << u"104%"_s;
        QTest::newRow("given up at 37") << RowStatus { RowState::Stopped, 37, {}, 0 } << u"37%"_s;
        QTest::newRow("done") << RowStatus::in(RowState::Done) << u"100%"_s;
        QTest::newRow("failed") << RowStatus::failed(u"Error: x"_s) << u" -  -  -  "_s;
        QTest::newRow("refused") << RowStatus::refused(u"Not converted"_s) << u" -  -  -  "_s;
    }
    void statusTexts()
    {
        QFETCH(RowStatus, status);
        QFETCH(QString, shown);
        fill(2);
        QSignalSpy changed(&m_list, &QAbstractItemModel::dataChanged);
        m_list.setStatus(1, status);
        QCOMPARE(m_list.cellText(1, BatchModel::Status), shown);
        QCOMPARE(m_list.index(1, 0).data(BatchModel::StateRole).toInt(), int(status.state));
        QCOMPARE(m_list.index(1, 0).data(BatchModel::ReasonRole).toString(), status.reason);
        // Only the one cell is told, and only when something changed.
        QCOMPARE(changed.size(), status == RowStatus {} ? 0 : 1);
        if (!changed.isEmpty())
            QCOMPARE(changed.first().first().value<QModelIndex>(), m_list.index(1, BatchModel::Status));
        QVERIFY(!m_list.status(1).isDone() || shown == u"100%"_s);
    }

    // The window's list view shows the model with the list's own selection: what the view
    // selects, the operations see, and a moved row stays selected with its texts.
    void viewFollowsTheModel()
    {
        fill(3);
        QTreeView view;
        view.setModel(&m_list);
        view.setSelectionModel(&m_list.selection());
        view.setSelectionMode(QAbstractItemView::ExtendedSelection);
        view.setSelectionBehavior(QAbstractItemView::SelectRows);
        QCOMPARE(view.model()->headerData(3, Qt::Horizontal).toString(), u"Destination"_s);
        view.selectionModel()->select(m_list.index(2, 1), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(m_list.selectedRows(), QList<int> { 2 });
        m_list.moveRow(2, 0);
        QCOMPARE(m_list.selectedRows(), QList<int> { 0 });
        QCOMPARE(view.model()->index(0, BatchModel::Destination).data().toString(), u"2.mp3"_s);
        m_list.setDestination(0, u"renamed.mp3"_s);
        QCOMPARE(view.model()->index(0, BatchModel::Destination).data().toString(), u"renamed.mp3"_s);
        m_list.removeRow(0);
        QVERIFY(m_list.selectedRows().isEmpty());
        QCOMPARE(view.model()->rowCount(), 2);
    }
};

QTEST_MAIN(TestFileList)
#include "tst_filelist.moc"
