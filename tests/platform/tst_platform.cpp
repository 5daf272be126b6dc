#include "platform/placement.h"
#include "platform/qtdialogs.h"
#include "platform/recordingdialogs.h"
#include "platform/singleinstance.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QLocalSocket>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace Qt::StringLiterals;

class TestPlatform : public QObject
{
    Q_OBJECT

    QTemporaryDir m_runtime;

private Q_SLOTS:
    void initTestCase()
    {
        // The single-instance socket lives in the runtime folder: give the tests their own.
        QVERIFY(m_runtime.isValid());
        QFile::setPermissions(m_runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    }

    void modalPlacement_data()
    {
        QTest::addColumn<QRect>("owner");
        QTest::addColumn<int>("dialogWidth");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("about box over the main window") << QRect(249, 113, 795, 562) << 444 << QPoint(424, 207);
        QTest::newRow("odd difference rounds down") << QRect(0, 0, 795, 562) << 444 << QPoint(175, 94);
        // Halving toward zero: -5 / 2 is -2, not -3.
        QTest::newRow("dialog wider than owner") << QRect(100, 50, 400, 300) << 405 << QPoint(98, 144);
        QTest::newRow("owner off screen to the left") << QRect(-300, -20, 795, 562) << 485 << QPoint(-145, 74);
    }

    void modalPlacement()
    {
        QFETCH(QRect, owner);
        QFETCH(int, dialogWidth);
        QFETCH(QPoint, expected);
        QCOMPARE(Placement::modalTopLeft(owner, dialogWidth), expected);
    }

    void confirmPlacement()
    {
        QCOMPARE(Placement::confirmTopLeft(QRect(249, 113, 795, 562)), QPoint(559, 263));
        QCOMPARE(Placement::confirmTopLeft(QRect(-400, 0, 795, 562)), QPoint(-90, 150));
    }

    void recordingDialogsAnswersFromScript()
    {
        RecordingDialogs dialogs;
        dialogs.answers.enqueue(DialogAnswer::No);
        const auto question = MessageRequest::confirmation(
            u"Create a new folder? "_s, QString(), DialogIcon::Question, DialogButtons::YesNo);
        QCOMPARE(dialogs.showMessage(nullptr, question), DialogAnswer::No);
        // Script used up: the first button answers.
        QCOMPARE(dialogs.showMessage(nullptr, question), DialogAnswer::Yes);
        QCOMPARE(dialogs.showMessage(nullptr, MessageRequest::plain(u"x"_s)), DialogAnswer::Ok);
        QCOMPARE(dialogs.openFiles(nullptr, {}), QStringList());
        dialogs.fileAnswers.enqueue({ u"/a.wav"_s, u"/b.wav"_s });
        QCOMPARE(dialogs.openFiles(nullptr, {}), QStringList({ u"/a.wav"_s, u"/b.wav"_s }));
        dialogs.folderAnswers.enqueue(u"/"_s);
        QCOMPARE(dialogs.chooseFolder(nullptr, u"Please select a folder:"_s, u"/"_s), u"/"_s);

        QCOMPARE(dialogs.calls.size(), 6);
        QCOMPARE(dialogs.calls.at(0).message, question);
        QCOMPARE(dialogs.calls.at(2).message.caption, u"TOLM Audio Converter"_s);
        QCOMPARE(dialogs.calls.at(2).message.placement, DialogPlacement::ScreenCentre);
        QCOMPARE(dialogs.calls.at(5).kind, RecordingDialogs::Call::ChooseFolder);
        QCOMPARE(dialogs.calls.at(5).title, u"Please select a folder:"_s);
        QCOMPARE(dialogs.messageTexts(), QStringList({ question.text, question.text, u"x"_s }));
    }

    void nameFilters_data()
    {
        using Filters = QList<QtDialogs::NameFilter>;
        QTest::addColumn<QString>("filter");
        QTest::addColumn<Filters>("expected");
        QTest::newRow("add-files dialog: names as they stand")
            << u"Flash Video Format(*.flv)|*.flv|Supported Files(*.*)|*.*"_s
            << Filters { { u"Flash Video Format(*.flv)"_s, { u"*.flv"_s } },
                   { u"Supported Files(*.*)"_s, { u"*"_s } } };
        QTest::newRow("several patterns")
            << u"Audio|*.wav;*.mp3"_s << Filters { { u"Audio"_s, { u"*.wav"_s, u"*.mp3"_s } } };
        QTest::newRow("name without pattern dropped") << u"Audio"_s << Filters {};
    }

    void nameFilters()
    {
        QFETCH(QString, filter);
        QFETCH(QList<QtDialogs::NameFilter>, expected);
        QCOMPARE(QtDialogs::nameFilters(filter), expected);
    }

    // The real file dialog shows the entries' names once each and lists a file without a dot
    // under "Supported Files(*.*)".
    void realOpenFilesDialog()
    {
        QTemporaryDir folder;
        for (const QString &name : { u"take.flv"_s, u"README"_s, u"song.mp3"_s }) {
            QFile file(folder.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QStringList entries, listedFirst, listedSecond;
        QFileDialog *dialog = nullptr;
        QFileSystemModel *model = nullptr;
        const auto listed = [&] {
            QStringList names;
            const QModelIndex parent = model->index(folder.path());
            for (int row = 0; row < model->rowCount(parent); ++row)
                if (model->flags(model->index(row, 0, parent)) & Qt::ItemIsEnabled)
                    names << model->index(row, 0, parent).data().toString();
            names.sort();
            return names;
        };
        // Looks until the dialog lists what it should, at most two seconds per step.
        int tries = 0;
        std::function<void()> second = [&] {
            listedSecond = listed();
            if (listedSecond.size() < 3 && ++tries < 100) {
                QTimer::singleShot(20, this, second);
                return;
            }
            dialog->reject();
        };
        std::function<void()> look = [&] {
            dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            model = dialog ? dialog->findChild<QFileSystemModel *>() : nullptr;
            if ((!model || listed().isEmpty()) && ++tries < 100) {
                QTimer::singleShot(20, this, look);
                return;
            }
            if (!model) {
                if (dialog)
                    dialog->reject();
                return;
            }
            entries = dialog->nameFilters();
            listedFirst = listed();
            auto *combo = dialog->findChild<QComboBox *>(u"fileTypeCombo"_s);
            combo->setCurrentIndex(1);
            Q_EMIT combo->activated(1);
            Q_EMIT combo->textActivated(combo->currentText());
            tries = 0;
            second();
        };
        QTimer::singleShot(0, this, look);
        QtDialogs dialogs;
        const QStringList chosen = dialogs.openFiles(
            nullptr, { u"Flash Video Format(*.flv)|*.flv|Supported Files(*.*)|*.*"_s, 0, {}, folder.path() });
        QVERIFY(chosen.isEmpty());
        QCOMPARE(entries, QStringList({ u"Flash Video Format(*.flv)"_s, u"Supported Files(*.*)"_s }));
        QCOMPARE(listedFirst, QStringList({ u"take.flv"_s }));
        QCOMPARE(listedSecond, QStringList({ u"README"_s, u"song.mp3"_s, u"take.flv"_s }));
    }

    // Open takes chosen folders whole, beside files; ".." still goes up a folder.
    void realOpenFilesDialogTakesFolders_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("chosen"); // below the folder; empty: the dialog stayed open
        QTest::addColumn<bool>("wentUp");
        QTest::newRow("a folder and a file")
            << u"\"Album One\" \"song.mp3\""_s << QStringList { u"Album One"_s, u"song.mp3"_s } << false;
        QTest::newRow("a folder alone") << u"Album One"_s << QStringList { u"Album One"_s } << false;
        QTest::newRow("a file") << u"song.mp3"_s << QStringList { u"song.mp3"_s } << false;
        QTest::newRow("up") << u".."_s << QStringList {} << true;
    }

    void realOpenFilesDialogTakesFolders()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, chosen);
        QFETCH(bool, wentUp);
        QTemporaryDir temporary;
        const QString folder = temporary.filePath(u"music"_s);
        QVERIFY(QDir().mkpath(folder + u"/Album One"_s));
        QFile file(folder + u"/song.mp3"_s);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();

        QString stayedIn;
        int tries = 0;
        std::function<void()> press = [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            auto *edit = dialog ? dialog->findChild<QLineEdit *>(u"fileNameEdit"_s) : nullptr;
            if (!edit) {
                if (++tries < 100)
                    QTimer::singleShot(20, this, press);
                return;
            }
            edit->setText(typed);
            QMetaObject::invokeMethod(dialog, "accept"); // what Open and Enter do
            if (dialog->isVisible()) {
                stayedIn = dialog->directory().absolutePath();
                dialog->reject();
            }
        };
        QTimer::singleShot(0, this, press);
        QtDialogs dialogs;
        const QStringList result = dialogs.openFiles(nullptr, { u"Supported Files(*.*)|*.mp3"_s, 0, {}, folder });
        QStringList expected;
        for (const QString &name : std::as_const(chosen))
            expected << folder + u'/' + name;
        QCOMPARE(result, expected);
        QCOMPARE(stayedIn == QFileInfo(temporary.path()).absoluteFilePath(), wentUp);
    }

    // The real message box: texts, buttons, answer and the confirmation position.
    void realMessageBox_data()
    {
        QTest::addColumn<int>("placement");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("press");
        QTest::addColumn<int>("buttonCount");
        QTest::addColumn<int>("expected");
        QTest::newRow("confirmation answered No") << int(DialogPlacement::ConfirmOffset) << int(DialogButtons::YesNo)
                                                  << int(QMessageBox::No) << 2 << int(DialogAnswer::No);
        QTest::newRow("plain message") << int(DialogPlacement::ScreenCentre) << int(DialogButtons::Ok)
                                       << int(QMessageBox::Ok) << 1 << int(DialogAnswer::Ok);
    }

    void realMessageBox()
    {
        QFETCH(int, placement);
        QFETCH(int, buttons);
        QFETCH(int, press);
        QFETCH(int, buttonCount);
        QFETCH(int, expected);

        QWidget owner(nullptr, Qt::Window | Qt::FramelessWindowHint);
        owner.setGeometry(120, 80, 795, 562);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));

        QString seenTitle, seenText;
        QPoint seenPosition;
        qsizetype seenButtons = 0;
        // Answers the box once it is up, looking again until it is.
        std::function<void()> answer = [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) {
                QTimer::singleShot(10, this, answer);
                return;
            }
            seenTitle = box->windowTitle();
            seenText = box->text();
            seenPosition = box->pos();
            seenButtons = box->buttons().size();
            if (QAbstractButton *button = box->button(QMessageBox::StandardButton(press)))
                button->click();
            else
                box->reject();
        };
        QTimer::singleShot(0, this, answer);
        QtDialogs dialogs;
        const MessageRequest request { u"User path is not valid!\r\n\r\nProgram terminate!"_s, u"Caption"_s,
            DialogIcon::Warning, DialogButtons(buttons), DialogPlacement(placement) };
        QCOMPARE(int(dialogs.showMessage(&owner, request)), expected);
        QCOMPARE(seenTitle, u"Caption"_s);
        QCOMPARE(seenText, u"User path is not valid!\n\nProgram terminate!"_s);
        QCOMPARE(seenButtons, buttonCount);
        if (DialogPlacement(placement) == DialogPlacement::ConfirmOffset)
            QCOMPARE(seenPosition, QPoint(430, 230));
    }

    void secondCopyRestoresFirst()
    {
        SingleInstance first(u"tolm-test-a"_s);
        QSignalSpy restored(&first, &SingleInstance::restoreRequested);
        QCOMPARE(first.claim(), SingleInstance::Role::Primary);

        SingleInstance second(u"tolm-test-a"_s);
        QCOMPARE(second.claim(), SingleInstance::Role::Secondary);
        QVERIFY(restored.wait(2000));
        QCOMPARE(restored.size(), 1);

        // Another name is another program.
        SingleInstance other(u"tolm-test-b"_s);
        QCOMPARE(other.claim(), SingleInstance::Role::Primary);
        QTest::qWait(50);
        QCOMPARE(restored.size(), 1);
    }

    void staleSocketFileIsTakenOver()
    {
        const QString path = SingleInstance::socketPath(u"tolm-test-stale"_s);
        QVERIFY(path.startsWith(m_runtime.path()));
        {
            QFile leftOver(path);
            QVERIFY(leftOver.open(QIODevice::WriteOnly));
        }
        SingleInstance first(u"tolm-test-stale"_s);
        QSignalSpy restored(&first, &SingleInstance::restoreRequested);
        QCOMPARE(first.claim(), SingleInstance::Role::Primary);
        SingleInstance second(u"tolm-test-stale"_s);
        QCOMPARE(second.claim(), SingleInstance::Role::Secondary);
        QVERIFY(restored.wait(2000));
    }

    void otherRequestsAreIgnored()
    {
        SingleInstance first(u"tolm-test-c"_s);
        QSignalSpy restored(&first, &SingleInstance::restoreRequested);
        QCOMPARE(first.claim(), SingleInstance::Role::Primary);
        QLocalSocket socket;
        socket.connectToServer(SingleInstance::socketPath(u"tolm-test-c"_s));
        QVERIFY(socket.waitForConnected(1000));
        socket.write("quit\n");
        QVERIFY(socket.waitForBytesWritten(1000));
        QVERIFY(!restored.wait(300));
    }
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
