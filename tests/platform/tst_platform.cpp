#include "platform/desktopservices.h"
#include "platform/placement.h"
#include "platform/qtdialogs.h"
#include "platform/recordingdialogs.h"
#include "platform/singleinstance.h"
#include "stranger.h"
#include "testfiles.h"

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
#include <QUrl>

#include <functional>

#include <sys/stat.h>
#include <unistd.h>

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

    // Where the socket may live, with the runtime folder unset or unfit: a folder of this user
    // alone in the temporary folder, made when missing, never one that is wider or another's.
    void socketFolderIsPrivate_data()
    {
        QTest::addColumn<QString>("runtime"); // "", "open", "private", "stranger's"
        QTest::addColumn<QString>("planted"); // what is at tolm-runtime-<uid> beforehand
        QTest::addColumn<QString>("expected"); // "runtime", "own", or "" (no folder)
        QTest::newRow("unset, missing: made") << u""_s << u""_s << u"own"_s;
        QTest::newRow("unset, own private folder") << u""_s << u"0700"_s << u"own"_s;
        QTest::newRow("unset, own folder open to all") << u""_s << u"0755"_s << u""_s;
        QTest::newRow("unset, own folder open to the group") << u""_s << u"0770"_s << u""_s;
        QTest::newRow("unset, sticky own folder") << u""_s << u"1700"_s << u""_s;
        QTest::newRow("unset, a link to a private folder") << u""_s << u"link"_s << u""_s;
        QTest::newRow("unset, a plain file") << u""_s << u"file"_s << u""_s;
        QTest::newRow("unset, another user's private folder") << u""_s << u"stranger's"_s << u""_s;
        QTest::newRow("private runtime folder") << u"private"_s << u""_s << u"runtime"_s;
        QTest::newRow("runtime folder open to all") << u"open"_s << u""_s << u"own"_s;
        QTest::newRow("another user's runtime folder") << u"stranger's"_s << u""_s << u"own"_s;
        QTest::newRow("open runtime folder, another user's own folder") << u"open"_s << u"stranger's"_s << u""_s;
    }

    void socketFolderIsPrivate()
    {
        QFETCH(QString, runtime);
        QFETCH(QString, planted);
        QFETCH(QString, expected);
        if ((runtime == u"stranger's"_s || planted == u"stranger's"_s) && !Stranger::available())
            QSKIP("giving a folder to another user needs root");
        QTemporaryDir shared;
        QVERIFY(Stranger::makeShared(shared.path()));
        const QByteArray oldTemp = qgetenv("TMPDIR");
        const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        const auto restore = qScopeGuard([&] {
            qputenv("TMPDIR", oldTemp);
            qputenv("XDG_RUNTIME_DIR", oldRuntime);
        });
        qputenv("TMPDIR", QFile::encodeName(shared.path()));
        const auto makeFolder = [](const QString &path, const QString &kind) {
            if (kind == u"file"_s) {
                QFile file(path);
                return file.open(QIODevice::WriteOnly);
            }
            if (kind == u"link"_s) {
                const QString target = path + u"-target"_s;
                return QDir().mkdir(target) && ::chmod(QFile::encodeName(target).constData(), 0700) == 0
                    && QFile::link(target, path);
            }
            const mode_t mode = kind == u"0755"_s ? 0755 : kind == u"0770"_s ? 0770 : kind == u"1700"_s ? 01700 : 0700;
            if (!QDir().mkdir(path) || ::chmod(QFile::encodeName(path).constData(), mode) != 0)
                return false;
            if (kind == u"stranger's"_s)
                return ::chown(QFile::encodeName(path).constData(), Stranger::kUid, Stranger::kUid) == 0;
            return true;
        };
        const QString runtimeFolder = shared.filePath(u"run"_s);
        if (runtime.isEmpty()) {
            qunsetenv("XDG_RUNTIME_DIR");
        } else {
            QVERIFY(makeFolder(runtimeFolder, runtime == u"open"_s ? u"0755"_s : runtime));
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeFolder));
        }
        const QString own = shared.filePath(u"tolm-runtime-"_s + QString::number(geteuid()));
        if (!planted.isEmpty())
            QVERIFY(makeFolder(own, planted));

        const QString folder = SingleInstance::socketFolder();
        const QString wanted = expected == u"runtime"_s ? runtimeFolder : expected == u"own"_s ? own : QString();
        QCOMPARE(folder, wanted);
        QCOMPARE(SingleInstance::socketPath(u"x"_s), wanted.isEmpty() ? QString() : wanted + u"/x"_s);
        if (!folder.isEmpty()) {
            struct stat status
            {
            };
            QCOMPARE(::lstat(QFile::encodeName(folder).constData(), &status), 0);
            QVERIFY(S_ISDIR(status.st_mode));
            QCOMPARE(status.st_mode & 07777, mode_t(0700));
            QCOMPARE(status.st_uid, geteuid());
        }
        // Where no folder is to be had, a copy runs on its own: nothing is handed anywhere.
        SingleInstance instance(u"tolm-test-folder"_s);
        QCOMPARE(instance.claim({ u"/nonexistent/file.wav"_s }), SingleInstance::Role::Primary);
    }

    // Each side asks the kernel who is at the other end. Another user's socket put into our
    // folder (only root could) is handed nothing; another user's connection to ours is not heard.
    void anotherUsersEndIsNotTrusted()
    {
        if (!Stranger::available())
            QSKIP("a second user needs root");
        QTemporaryDir shared;
        QVERIFY(Stranger::makeShared(shared.path()));
        const QString record = shared.filePath(u"record"_s);
        const QString stop = shared.filePath(u"stop"_s);
        const QString planted = shared.filePath(u"planted"_s);
        QProcess listener;
        Stranger::start(listener, { u"listen"_s, record, stop, planted });
        const auto endListener = qScopeGuard([&] {
            QFile(stop).open(QIODevice::WriteOnly);
            listener.waitForFinished(5000);
        });
        QVERIFY(listener.waitForReadyRead(10000));
        QCOMPARE(listener.readLine().trimmed(), QByteArray("listening"));

        const QString path = SingleInstance::socketPath(u"tolm-test-peer"_s);
        QVERIFY(!path.isEmpty());
        QVERIFY(QFile::rename(planted, path));
        SingleInstance first(u"tolm-test-peer"_s);
        QSignalSpy opened(&first, &SingleInstance::filesOpened);
        QSignalSpy restored(&first, &SingleInstance::restoreRequested);
        QCOMPARE(first.claim({ u"/etc/hostname"_s }), SingleInstance::Role::Primary);
        QTest::qWait(300);
        QCOMPARE(TestFiles::read(record), QByteArray());

        // Now ours serves the name; open the way for the stranger, who is still not heard.
        QCOMPARE(::chmod(QFile::encodeName(m_runtime.path()).constData(), 0711), 0);
        const auto closeAgain = qScopeGuard([this] { ::chmod(QFile::encodeName(m_runtime.path()).constData(), 0700); });
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0777), 0);
        QProcess sender;
        Stranger::start(sender, { u"send"_s, path, u"open file:///etc/hostname\nrestore\n"_s });
        QVERIFY(sender.waitForFinished(10000));
        QCOMPARE(sender.readAllStandardOutput().trimmed(), QByteArray("connected")); // it did reach ours
        QVERIFY(!restored.wait(500));
        QCOMPARE(opened.size(), 0);

        // Our own user still is.
        QCOMPARE(::chmod(QFile::encodeName(m_runtime.path()).constData(), 0700), 0);
        SingleInstance second(u"tolm-test-peer"_s);
        QCOMPARE(second.claim(), SingleInstance::Role::Secondary);
        QVERIFY(restored.wait(2000));
    }

    // What a hand-over may carry: existing files and folders by paths of sane length; the
    // rest is left out quietly and the request still restores the window.
    void handedPathsAreChecked_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("kept");
        const QString here = m_runtime.path();
        const QString longName(SingleInstance::kMaxNameBytes + 1, u'n');
        QString longPath;
        while (QFile::encodeName(longPath).size() < SingleInstance::kMaxPathBytes)
            longPath += u"/abcdefgh"_s;
        QTest::newRow("a file") << here + u"/file.wav"_s << true;
        QTest::newRow("a folder") << here << true;
        QTest::newRow("a missing file") << here + u"/missing.wav"_s << false;
        QTest::newRow("a device") << u"/dev/null"_s << false;
        QTest::newRow("a pipe") << here + u"/pipe"_s << false;
        QTest::newRow("a name past the name limit") << here + u'/' + longName << false;
        QTest::newRow("a path past the path limit") << longPath << false;
    }

    void handedPathsAreChecked()
    {
        QFETCH(QString, path);
        QFETCH(bool, kept);
        QVERIFY(TestFiles::write(m_runtime.filePath(u"file.wav"_s), "RIFF"));
        if (!QFile::exists(m_runtime.filePath(u"pipe"_s)))
            QCOMPARE(::mkfifo(QFile::encodeName(m_runtime.filePath(u"pipe"_s)).constData(), 0600), 0);
        SingleInstance first(u"tolm-test-paths"_s);
        QSignalSpy opened(&first, &SingleInstance::filesOpened);
        QSignalSpy restored(&first, &SingleInstance::restoreRequested);
        QCOMPARE(first.claim(), SingleInstance::Role::Primary);
        QLocalSocket socket;
        socket.connectToServer(SingleInstance::socketPath(u"tolm-test-paths"_s));
        QVERIFY(socket.waitForConnected(1000));
        const QString file = m_runtime.filePath(u"file.wav"_s);
        for (const QString &handed : { path, file })
            socket.write(SingleInstance::kOpenRequest.toByteArray() + QUrl::fromLocalFile(handed).toEncoded() + '\n');
        socket.write(SingleInstance::kRestoreRequest.toByteArray());
        QVERIFY(restored.wait(2000));
        QCOMPARE(opened.size(), 1);
        const QStringList expected = kept ? QStringList { path, file } : QStringList { file };
        QCOMPARE(opened.first().first().toStringList(), expected);
    }

    // An oversized hand-over is dropped as it arrives, whole and quietly; the window's own
    // copies are heard right after it.
    void oversizedHandOverIsDropped_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("one 10 MB line") << QByteArray("open file:///") + QByteArray(10 << 20, 'a') + "\nrestore\n";
        QByteArray manyLines;
        const QByteArray line = "open " + QUrl::fromLocalFile(m_runtime.path()).toEncoded() + '\n';
        while (manyLines.size() <= SingleInstance::kMaxRequestBytes)
            manyLines += line;
        QTest::newRow("many sane lines past the limit") << manyLines + "restore\n";
        QTest::newRow("10 MB without a line end") << QByteArray(10 << 20, '\n').replace('\n', 'x');
    }

    void oversizedHandOverIsDropped()
    {
        QFETCH(QByteArray, message);
        SingleInstance first(u"tolm-test-big"_s);
        QSignalSpy opened(&first, &SingleInstance::filesOpened);
        QSignalSpy restored(&first, &SingleInstance::restoreRequested);
        QCOMPARE(first.claim(), SingleInstance::Role::Primary);
        QLocalSocket socket;
        socket.connectToServer(SingleInstance::socketPath(u"tolm-test-big"_s));
        QVERIFY(socket.waitForConnected(1000));
        QSignalSpy dropped(&socket, &QLocalSocket::disconnected);
        socket.write(message);
        QVERIFY(dropped.wait(3000));
        QCOMPARE(restored.size(), 0);
        QCOMPARE(opened.size(), 0);

        SingleInstance second(u"tolm-test-big"_s);
        QCOMPARE(second.claim({ m_runtime.path() }), SingleInstance::Role::Secondary);
        QVERIFY(restored.wait(2000));
        QCOMPARE(opened.size(), 1);
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

    // The desktop's opener is asked without waiting, and only its failure is reported: an
    // opener that cannot be found, one that says it failed, and one that succeeds.
    void desktopOpenReportsOnlyFailures()
    {
        QTemporaryDir bin;
        const QByteArray path = qgetenv("PATH");
        auto withOpener = [&](const QByteArray &script) {
            QFile::remove(bin.filePath(u"xdg-open"_s));
            if (!script.isEmpty()) {
                QVERIFY(TestFiles::write(bin.filePath(u"xdg-open"_s), "#!/bin/sh\n" + script + "\n"));
                QFile::setPermissions(bin.filePath(u"xdg-open"_s), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
            }
        };
        qputenv("PATH", bin.path().toUtf8()); // only our opener, or none
        const struct
        {
            QByteArray script;
            bool fails;
        } cases[]
            = { { {}, true }, { "echo \"$1\" > \"$0.arg\"; exit 3", true }, { "echo \"$1\" > \"$0.arg\"", false } };
        for (const auto &c : cases) {
            withOpener(c.script);
            QFile::remove(bin.filePath(u"xdg-open.arg"_s));
            bool failed = false;
            XdgDesktopServices desktop;
            desktop.open(QUrl::fromLocalFile(u"/tmp/a folder"_s), [&failed] { failed = true; });
            if (!c.script.isEmpty())
                QVERIFY(!failed); // nothing is known yet: the window goes on
            if (c.fails)
                QTRY_VERIFY(failed);
            else
                QTRY_VERIFY(QFile::exists(bin.filePath(u"xdg-open.arg"_s)));
            QTest::qWait(100);
            QCOMPARE(failed, c.fails);
            if (!c.script.isEmpty())
                QCOMPARE(TestFiles::read(bin.filePath(u"xdg-open.arg"_s)).trimmed(), QByteArray("/tmp/a folder"));
        }
        qputenv("PATH", path);
    }
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
