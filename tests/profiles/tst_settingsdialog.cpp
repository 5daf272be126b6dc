// The advanced settings dialog's window: its controls as designed, the choosers shown from
// and read back into SettingsChoices, and its handlers answering through the dialogs service.

#include "focuschain.h"
#include "platform/recordingdialogs.h"
#include "profiles/profilecatalogue.h"
#include "profiles/saveasdialog.h"
#include "profiles/settingsdialog.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
QStringList itemsOf(const QComboBox *chooser)
{
    QStringList items;
    for (int i = 0; i < chooser->count(); ++i)
        items << chooser->itemText(i);
    return items;
}
} // namespace

class TestSettingsDialog : public QObject
{
    Q_OBJECT

    RecordingDialogs m_dialogs;
    QWidget m_main;

private Q_SLOTS:
    void designed()
    {
        TsaveasFrm saveAs;
        TSettingFrm dialog(m_dialogs, saveAs, &m_main);
        const SettingsControls &ui = dialog.controls();
        QCOMPARE(dialog.windowTitle(), u"Advanced Profile Settings"_s);
        QCOMPARE(dialog.size(), QSize(485, 225));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QVERIFY(!(dialog.windowFlags() & Qt::WindowCloseButtonHint));
        QCOMPARE(dialog.parentWidget(), &m_main);

        const QList<std::pair<QLabel *, QString>> labels { { ui.profileLabel, u"Profile:"_s },
            { ui.sampleRateLabel, u"Sample Rate:"_s }, { ui.encoderLabel, u" Encoder: "_s },
            { ui.channelLabel, u"Channel:"_s }, { ui.bitRateLabel, u"BitRate :"_s } };
        for (const auto &[label, text] : labels) {
            QCOMPARE(label->text(), text);
            QVERIFY(label->buddy());
        }
        QCOMPARE(ui.audioGroup->title(), u" Audio "_s);
        QCOMPARE(ui.profileChooser->maxVisibleItems(), 20);
        QCOMPARE(ui.saveAsButton->text(), u"Save as"_s);
        QCOMPARE(ui.defaultButton->text(), u"Default"_s);
        QCOMPARE(ui.okButton->text(), u"OK"_s);
        QVERIFY(ui.okButton->isDefault());
        QCOMPARE(ui.cancelButton->text(), u"Cancel"_s);
        for (QPushButton *button : { ui.saveAsButton, ui.defaultButton, ui.okButton, ui.cancelButton })
            QVERIFY2(!button->autoDefault(), qPrintable(button->objectName())); // Enter is always OK

        // The form's names and places, and the order Tab takes.
        const QList<std::tuple<QWidget *, QString, QRect>> places {
            { ui.profileLabel, u"profileLabel"_s, QRect(12, 16, 60, 26) },
            { ui.profileChooser, u"profileComBox"_s, QRect(78, 16, 296, 26) },
            { ui.saveAsButton, u"saveasBtn"_s, QRect(384, 15, 88, 28) },
            { ui.audioGroup, u"audioGroup"_s, QRect(12, 54, 461, 110) },
            { ui.encoderLabel, u"encoderLabel"_s, QRect(4, 28, 74, 26) },
            { ui.encoderChooser, u"AencoderCombox"_s, QRect(82, 28, 150, 26) },
            { ui.sampleRateLabel, u"sampleRateLabel"_s, QRect(236, 28, 84, 26) },
            { ui.sampleRateChooser, u"AsampleRateCombox"_s, QRect(324, 28, 126, 26) },
            { ui.channelLabel, u"channelLabel"_s, QRect(4, 68, 74, 26) },
            { ui.channelChooser, u"AChannelCombox"_s, QRect(82, 68, 150, 26) },
            { ui.bitRateLabel, u"bitRateLabel"_s, QRect(236, 68, 84, 26) },
            { ui.bitRateChooser, u"ABitRateCombox"_s, QRect(324, 68, 126, 26) },
            { ui.defaultButton, u"defaultBtn"_s, QRect(12, 182, 88, 30) },
            { ui.okButton, u"okBtn"_s, QRect(288, 182, 88, 30) },
            { ui.cancelButton, u"BitBtn3"_s, QRect(385, 182, 88, 30) },
        };
        for (const auto &[control, name, geometry] : places) {
            QCOMPARE(control->objectName(), name);
            QCOMPARE(control->geometry(), geometry);
        }
        QCOMPARE(FocusChain::tabOrder(&dialog),
            QStringList({ u"profileComBox"_s, u"saveasBtn"_s, u"AencoderCombox"_s, u"AsampleRateCombox"_s,
                u"AChannelCombox"_s, u"ABitRateCombox"_s, u"defaultBtn"_s, u"okBtn"_s, u"BitBtn3"_s }));

        QCOMPARE(itemsOf(ui.sampleRateChooser),
            QStringList({ u"8000 Hz"_s, u"16000 Hz"_s, u"22050 Hz"_s, u"32000 Hz"_s, u"44100 Hz"_s, u"48000 Hz"_s }));
        QCOMPARE(ui.sampleRateChooser->currentText(), u"48000 Hz"_s);
        QCOMPARE(itemsOf(ui.encoderChooser), QStringList { u"mp3"_s });
        QCOMPARE(ui.encoderChooser->currentText(), u"mp3"_s);
        QCOMPARE(itemsOf(ui.channelChooser), QStringList({ u"1 Channel Mono"_s, u"2 Channels Stereo"_s, u"5.1"_s }));
        QCOMPARE(ui.channelChooser->currentText(), u"2 Channels Stereo"_s);
        QCOMPARE(ui.bitRateChooser->count(), 14);
        QCOMPARE(ui.bitRateChooser->itemText(0), u"32 kbps"_s);
        QCOMPARE(ui.bitRateChooser->itemText(13), u"320 kbps"_s);
        QCOMPARE(ui.bitRateChooser->currentText(), u"128 kbps"_s);
    }

    // What the dialog shows reads back unchanged: lists, selections, a text that is no item,
    // disabled choosers and the saved-profiles flag.
    void choicesRoundTrip()
    {
        TsaveasFrm saveAs;
        TSettingFrm dialog(m_dialogs, saveAs, &m_main);
        const SettingsControls &ui = dialog.controls();
        SettingsChoices choices = SettingsChoices::designed();
        choices.profiles = BuiltInProfileNames() << u"Voice (*.mp3)"_s;
        choices.profilePosition = kBuiltInProfileCount;
        choices.profilesChanged = true;
        choices.chooser(LibraryChooser::SampleRate) = { {}, -1, u"11025 Hz"_s, true };
        choices.chooser(LibraryChooser::Bitrate).disabled = true;
        SelectChooserText(choices.chooser(LibraryChooser::Channels), u"5.1"_s);
        dialog.showChoices(choices);
        QVERIFY(!ui.sampleRateChooser->isEnabled());
        QCOMPARE(ui.profileChooser->currentText(), u"Voice (*.mp3)"_s);
        const SettingsChoices shown = dialog.choices();
        QCOMPARE(shown.profiles, choices.profiles);
        QCOMPARE(shown.profilePosition, kBuiltInProfileCount);
        QCOMPARE(shown.choosers, choices.choosers);
        QVERIFY(shown.profilesChanged);
    }

    // A user's pick in the profile chooser loads that profile's library; a missing library
    // answers with the message and leaves the choosers.
    void profilePickAndDefault()
    {
        TsaveasFrm saveAs;
        TSettingFrm dialog(m_dialogs, saveAs, &m_main);
        const SettingsControls &ui = dialog.controls();
        const QString programDir = QStringLiteral(TOLM_PROGRAM_DIR);
        dialog.setPaths(
            { programDir, programDir + kCatalogueRelativePath, u"/nonexistent/userprofile.ini"_s, u"/nonexistent"_s });
        SettingsChoices choices = SettingsChoices::designed();
        choices.profiles = BuiltInProfileNames() << u"Gone (*.ogg)"_s;
        dialog.showChoices(choices);

        ui.profileChooser->setCurrentIndex(11);
        Q_EMIT ui.profileChooser->activated(11);
        QCOMPARE(ui.encoderChooser->currentText(), u"flac"_s);
        QVERIFY(!ui.sampleRateChooser->isEnabled() && !ui.bitRateChooser->isEnabled());

        // Opus keeps the source's rate: its bit rates offered, the rate chooser off.
        const int opus = int(BuiltInProfileNames().indexOf(u"OPUS - Opus Audio (*.opus)"_s));
        QCOMPARE(opus, 14); // the first after the original fourteen
        ui.profileChooser->setCurrentIndex(opus);
        Q_EMIT ui.profileChooser->activated(opus);
        QCOMPARE(ui.encoderChooser->currentText(), u"opus"_s);
        QVERIFY(!ui.sampleRateChooser->isEnabled() && ui.bitRateChooser->isEnabled());
        QCOMPARE(ui.bitRateChooser->currentText(), u"128 kbps"_s);
        QCOMPARE(ui.channelChooser->count(), 3);

        ui.profileChooser->setCurrentIndex(kBuiltInProfileCount);
        Q_EMIT ui.profileChooser->activated(kBuiltInProfileCount);
        QCOMPARE(ui.encoderChooser->currentText(), u"opus"_s);
        ui.defaultButton->click();
        QCOMPARE(m_dialogs.messageTexts(),
            QStringList({ u"Cannot found  library file for selected profile!"_s,
                u"Cannot found  library file for selected profile!"_s }));
        QCOMPARE(m_dialogs.calls.first().message.caption, u"TOLM Audio Converter"_s);
    }
};

QTEST_MAIN(TestSettingsDialog)
#include "tst_settingsdialog.moc"
