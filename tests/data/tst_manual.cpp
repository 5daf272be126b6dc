// The user manual as it ships in the program folder: Help opens it in the desktop's browser,
// its links and pictures lead somewhere, and it names every control of the window, every
// option of the terminal, every profile and the messages the program shows. Also the one
// licence, as every place that states it words it.

#include "core/programtexts.h"
#include "engine/afterdone.h"
#include "engine/sessionguard.h"
#include "mainwindow/aboutbox.h"
#include "mainwindow/helpcommand.h"
#include "mainwindow/mainwindow.h"
#include "platform/recordingdesktopservices.h"
#include "platform/recordingdialogs.h"
#include "platform/recordingpowercontrol.h"
#include "playback/previewtexts.h"
#include "profiles/profilecatalogue.h"
#include "profiles/settingsform.h"
#include "profiles/workingfolders.h"
#include "sources/destinationfolder.h"
#include "testfiles.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocumentFragment>

using namespace Qt::StringLiterals;

namespace {

const QString kProgramDir = QStringLiteral(TOLM_PROGRAM_DIR);
const QString kDoc = kProgramDir + u"/doc"_s;

QStringList pages()
{
    return QDir(kDoc).entryList({ u"*.html"_s }, QDir::Files, QDir::Name);
}

QString source(const QString &page)
{
    return QString::fromUtf8(TestFiles::read(kDoc + u'/' + page));
}

// A page's words as a reader sees them: no tags, entities decoded, blanks run together.
QString readable(const QString &page)
{
    return QTextDocumentFragment::fromHtml(source(page)).toPlainText().simplified();
}

QString wholeManual()
{
    QString text;
    for (const QString &page : pages())
        text += readable(page) + u' ';
    return text;
}

} // namespace

class TestManual : public QObject
{
    Q_OBJECT

    void requireMentioned(const QStringList &texts, const QString &what)
    {
        const QString manual = wholeManual();
        QStringList missing;
        for (const QString &text : texts)
            if (!text.simplified().isEmpty() && !manual.contains(text.simplified()))
                missing << u'"' + text.simplified() + u'"';
        missing.removeDuplicates();
        QVERIFY2(missing.isEmpty(), qPrintable(what + u" missing from the manual: "_s + missing.join(u", "_s)));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(kDoc + u"/index.html"_s).isFile(), "the manual is not in the program folder");
        QVERIFY(!TestFiles::useFreshHome(m_home.path()).isEmpty());
    }

    void helpOpensTheManualInTheBrowser()
    {
        RecordingDialogs dialogs;
        RecordingDesktopServices desktop;
        ShowHelp(nullptr, kProgramDir, dialogs, desktop);
        QCOMPARE(desktop.opened, QList<QUrl>({ QUrl::fromLocalFile(kDoc + u"/index.html"_s) }));
        QVERIFY(dialogs.calls.isEmpty());
    }

    // Every address of a page is a file of the manual, every #place an id of its page, every
    // picture one that loads at the size the page gives it.
    void linksAndPicturesLeadSomewhere()
    {
        static const QRegularExpression address(uR"re((href|src)="([^"]*)")re"_s);
        static const QRegularExpression image(uR"re(<img src="([^"]*)" width="(\d+)" height="(\d+)")re"_s);
        QStringList broken;
        int pictures = 0;
        for (const QString &page : pages()) {
            const QString html = source(page);
            for (const auto &match : address.globalMatch(html)) {
                const QString target = match.captured(2);
                if (target.startsWith(u"http"_s) || target.startsWith(u"mailto:"_s))
                    continue;
                const QString file = target.section(u'#', 0, 0);
                const QString place = target.section(u'#', 1);
                const QString targetPage = file.isEmpty() ? page : file;
                if (!QFileInfo(kDoc + u'/' + targetPage).isFile())
                    broken << page + u": "_s + target;
                else if (!place.isEmpty() && !source(targetPage).contains(u"id=\""_s + place + u'"'))
                    broken << page + u": "_s + target;
            }
            for (const auto &match : image.globalMatch(html)) {
                ++pictures;
                const QImage picture(kDoc + u'/' + match.captured(1));
                if (picture.size() != QSize(match.captured(2).toInt(), match.captured(3).toInt()))
                    broken << page + u": picture "_s + match.captured(1);
            }
        }
        QVERIFY2(broken.isEmpty(), qPrintable(broken.join(u'\n')));
        QVERIFY(pictures >= 5);
    }

    // What the window shows: captions, labels and the choosers' items.
    void namesEveryControlOfTheWindow()
    {
        RecordingDialogs dialogs;
        RecordingDesktopServices desktop;
        RecordingPowerControl power;
        TForm1 form({ dialogs, desktop, power }, StartupEnvironment::fromSystem(kProgramDir));
        QStringList texts;
        for (const QLabel *label : form.findChildren<QLabel *>())
            texts << label->text();
        for (const QAbstractButton *button : form.findChildren<QAbstractButton *>())
            texts << (!button->text().isEmpty()    ? button->text()
                    : !button->toolTip().isEmpty() ? button->toolTip()
                                                   : button->accessibleName());
        for (const QComboBox *chooser : form.findChildren<QComboBox *>())
            for (int item = 0; item < chooser->count(); ++item)
                texts << chooser->itemText(item);
        texts.removeIf([](const QString &text) { return text.contains(u'<') || text.contains(u"00:00"_s); });
        // "Simultaneous conversions" offers as many as the machine has processors; the manual
        // names the first two and says how the list goes on.
        static const QRegularExpression beyondTwo(u"^([3-9]|\\d\\d+) at once$"_s);
        texts.removeIf([](const QString &text) { return beyondTwo.match(text).hasMatch(); });
        QVERIFY(texts.size() > 30);
        requireMentioned(texts, u"window texts"_s);
    }

    // Every option tolm-convert's own help lists.
    void namesEveryOptionOfTheTerminal()
    {
        QProcess help;
        help.start(kProgramDir + u"/tolm-convert"_s, { u"--help"_s });
        QVERIFY(help.waitForFinished(30000));
        QCOMPARE(help.exitCode(), 0);
        static const QRegularExpression option(uR"re((?<![\w-])--[a-z][a-z-]+)re"_s);
        QStringList options;
        for (const auto &match : option.globalMatch(QString::fromUtf8(help.readAllStandardOutput())))
            options << match.captured(0);
        QVERIFY(options.size() > 15);
        requireMentioned(options, u"tolm-convert options"_s);
    }

    void namesEveryProfile() { requireMentioned(BuiltInProfileNames(), u"profiles"_s); }

    // The program's messages and the Status of a failed row.
    void explainsTheMessages()
    {
        requireMentioned(
            {
                kStatusFailed.toString(),
                kHibernateFailed.toString(),
                kStandByFailed.toString(),
                HelpText::Missing.toString(),
                HelpText::cannotOpen(HelpText::ManualPage.toString()),
                kSelectFileFirst.toString(),
                SettingsText::NoTarget.toString(),
                SettingsText::OpenLibraryMissing.toString(),
                kCreateFolderQuestion.toString(),
                kInvalidFolderMessage.toString().section(u'\r', 0, 0),
                // The manual names no version: it would go stale with every release.
                kRunningLine.toString().replace(u"" TOLM_PROGRAM_VERSION ""_s, u"<version>"_s),
                kNoSleepLine.toString(),
                kNoSessionEndLine.toString(),
                StartupText::DocumentsFailed.toString(),
                StartupText::ProductFailed.toString(),
                StartupText::ProfileFailed.toString(),
                TForm1::closeQuestionText().section(u'\n', 0, 0),
                TForm1::closeQuestionText().section(u'\n', -1),
            },
            u"messages"_s);
    }

    // Every place that states the program's licence states the same one: the manual, the
    // About box, tolm-convert --version, the manual page, the AppStream metainfo, the
    // package's copyright file.
    void licenceEverywhere_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("pattern");
        const QString source = QStringLiteral(TOLM_SOURCE_DIR);
        QProcess version;
        version.start(kProgramDir + u"/tolm-convert"_s, { u"--version"_s });
        QVERIFY(version.waitForFinished(30000));
        QCOMPARE(version.exitCode(), 0);

        QTest::newRow("manual") << readable(u"index.html"_s)
                                << u"free software under the GNU General Public License, version 3 or later "
                                   u"\\(SPDX: GPL-3\\.0-or-later\\)"_s;
        QTest::newRow("About box") << TaboutFrm::licenceLine()
                                   << u"^Free software under the GNU General Public License, version 3 or later$"_s;
        QTest::newRow("tolm-convert --version")
            << QString::fromUtf8(version.readAllStandardOutput())
            << u"^tolm-convert \\(TOLM Audio Converter\\) \\d+\\.\\d+\\.\\d+\\n"
               u"Licence: GNU General Public License, version 3 or later \\(GPL-3\\.0-or-later\\)\\.\\n"
               u"This is free software: you are free to change and redistribute it\\.\\n"
               u"There is NO WARRANTY, to the extent permitted by law\\.\\n$"_s;
        QTest::newRow("manual page")
            << QString::fromUtf8(TestFiles::read(kProgramDir + u"/../man/tolm-audio-converter.1"_s))
            << u"\\.SH LICENCE\\n.*GNU General Public License, version 3 or\\nlater \\(GPL-3\\.0-or-later\\)"_s;
        QTest::newRow("metainfo") << QString::fromUtf8(
            TestFiles::read(kProgramDir + u"/../desktop/org.tolm.AudioConverter.metainfo.xml"_s))
                                  << u"\\n  <project_license>GPL-3\\.0-or-later</project_license>\\n"_s;
        // The program's own stanza; each library keeps the licence of its own stanza.
        QTest::newRow("package copyright")
            << QString::fromUtf8(TestFiles::read(source + u"/data/package/copyright"_s))
            << u"\\nFiles: \\*\\nCopyright: [^\\n]+\\nLicense: GPL-3\\+\\n(?: [^\\n]*\\n)*? On Debian systems, the "
               u"complete "
               u"text of the GNU General Public License version 3 can be found\\n in /usr/share/common-licenses/GPL-3\\.\\n"_s;
    }

    void licenceEverywhere()
    {
        QFETCH(QString, text);
        QFETCH(QString, pattern);
        const QRegularExpression expected(pattern, QRegularExpression::DotMatchesEverythingOption);
        QVERIFY2(expected.isValid(), qPrintable(expected.errorString()));
        QVERIFY2(expected.match(text).hasMatch(), qPrintable(pattern));
        QVERIFY2(!text.contains(u"rights reserved"_s, Qt::CaseInsensitive) && !text.contains(u"LicenseRef"_s),
            "an old licence word is left");
    }

    // LICENSE at the top of the source is the GPL version 3, word for word as Debian ships it.
    void licenceFileIsTheGpl3()
    {
        const QByteArray gpl3 = TestFiles::read(u"/usr/share/common-licenses/GPL-3"_s);
        QVERIFY(gpl3.contains("GNU GENERAL PUBLIC LICENSE\n                       Version 3, 29 June 2007"));
        QVERIFY(TestFiles::read(QStringLiteral(TOLM_SOURCE_DIR) + u"/LICENSE"_s) == gpl3);
    }

private:
    QTemporaryDir m_home;
};

QTEST_MAIN(TestManual)
#include "tst_manual.moc"
