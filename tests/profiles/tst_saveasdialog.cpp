#include "profiles/saveasdialog.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace Qt::StringLiterals;

class TestSaveAsDialog : public QObject
{
    Q_OBJECT

    // Runs the dialog modally; while it shows, act() is called on it.
    int runDialog(TsaveasFrm &dialog, const std::function<void()> &act)
    {
        std::function<void()> wait = [&] {
            if (QApplication::activeModalWidget() != &dialog) {
                QTimer::singleShot(10, this, wait);
                return;
            }
            act();
        };
        QTimer::singleShot(0, this, wait);
        return dialog.exec();
    }

private Q_SLOTS:
    void texts()
    {
        TsaveasFrm dialog;
        QCOMPARE(dialog.windowTitle(), u"Save AS"_s);
        QCOMPARE(dialog.size(), QSize(348, 150));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QCOMPARE(dialog.promptLabel->text(), u"Please name this new profile:"_s);
        QCOMPARE(dialog.profileEdit1->objectName(), u"profileEdit1"_s);
        QCOMPARE(dialog.profileEdit1->text(), u" "_s);
        QCOMPARE(dialog.okBtn->text(), u"OK"_s);
        QVERIFY(dialog.okBtn->isDefault());
        QCOMPARE(dialog.cancelBtn->text(), u"Cancel"_s);
        QVERIFY(!dialog.cancelBtn->isDefault());
        for (QWidget *control : { static_cast<QWidget *>(dialog.profileEdit1), static_cast<QWidget *>(dialog.okBtn),
                 static_cast<QWidget *>(dialog.cancelBtn) })
            QVERIFY(!control->accessibleName().isEmpty());
    }

    void resultsAndKeptText()
    {
        TsaveasFrm dialog;
        bool focused = false;
        int result = runDialog(dialog, [&] {
            focused = dialog.focusWidget() == dialog.profileEdit1;
            dialog.profileEdit1->setText(u"Voice"_s);
            QTest::keyClick(dialog.profileEdit1, Qt::Key_Return); // the default button
        });
        QVERIFY(focused);
        QCOMPARE(result, int(QDialog::Accepted));

        dialog.cancelBtn->setFocus();
        result = runDialog(dialog, [&] {
            focused = dialog.focusWidget() == dialog.profileEdit1;
            dialog.cancelBtn->click();
        });
        QVERIFY(focused);
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(dialog.profileEdit1->text(), u"Voice"_s);
    }
};

QTEST_MAIN(TestSaveAsDialog)
#include "tst_saveasdialog.moc"
