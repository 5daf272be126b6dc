#include "focuschain.h"
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
        const SaveAsControls &ui = dialog.controls();
        QCOMPARE(dialog.windowTitle(), u"Save AS"_s);
        QCOMPARE(dialog.size(), QSize(348, 150));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QCOMPARE(ui.promptLabel->text(), u"Please name this new profile:"_s);
        // The form's names and places.
        const QList<std::tuple<QWidget *, QString, QRect>> places {
            { ui.promptLabel, u"promptLabel"_s, QRect(24, 22, 300, 20) },
            { ui.nameEdit, u"profileEdit1"_s, QRect(24, 50, 300, 28) },
            { ui.okButton, u"okBtn"_s, QRect(150, 102, 82, 30) },
            { ui.cancelButton, u"cancelBtn"_s, QRect(242, 102, 82, 30) },
        };
        for (const auto &[control, name, geometry] : places) {
            QCOMPARE(control->objectName(), name);
            QCOMPARE(control->geometry(), geometry);
        }
        QCOMPARE(ui.promptLabel->buddy(), ui.nameEdit);
        QCOMPARE(FocusChain::tabOrder(&dialog), QStringList({ u"profileEdit1"_s, u"okBtn"_s, u"cancelBtn"_s }));
        QCOMPARE(ui.nameEdit->text(), u" "_s);
        QCOMPARE(ui.okButton->text(), u"OK"_s);
        QVERIFY(ui.okButton->isDefault());
        QCOMPARE(ui.cancelButton->text(), u"Cancel"_s);
        QVERIFY(!ui.cancelButton->isDefault());
        for (QWidget *control : { static_cast<QWidget *>(ui.nameEdit), static_cast<QWidget *>(ui.okButton),
                 static_cast<QWidget *>(ui.cancelButton) })
            QVERIFY(!control->accessibleName().isEmpty());
    }

    void resultsAndKeptText()
    {
        TsaveasFrm dialog;
        const SaveAsControls &ui = dialog.controls();
        bool focused = false;
        int result = runDialog(dialog, [&] {
            focused = dialog.focusWidget() == ui.nameEdit;
            ui.nameEdit->setText(u"Voice"_s);
            QTest::keyClick(ui.nameEdit, Qt::Key_Return); // the default button
        });
        QVERIFY(focused);
        QCOMPARE(result, int(QDialog::Accepted));

        ui.cancelButton->setFocus();
        result = runDialog(dialog, [&] {
            focused = dialog.focusWidget() == ui.nameEdit;
            ui.cancelButton->click();
        });
        QVERIFY(focused);
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(ui.nameEdit->text(), u"Voice"_s);
    }
};

QTEST_MAIN(TestSaveAsDialog)
#include "tst_saveasdialog.moc"
