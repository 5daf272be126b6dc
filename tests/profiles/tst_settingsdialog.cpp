// The advanced settings dialog's window: its controls as designed, the choosers shown from
// and read back into SettingsChoices, and its handlers answering through the dialogs service.

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
        QCOMPARE(dialog.windowTitle(), u"Advanced Profile Settings"_s);
        QCOMPARE(dialog.size(), QSize(485, 225));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QVERIFY(!(dialog.windowFlags() & Qt::WindowCloseButtonHint));
        QCOMPARE(dialog.parentWidget(), &m_main);

        const QList<std::pair<QLabel *, QString>> labels { { dialog.profileLabel, u"Profile:"_s },
            { dialog.sampleRateLabel, u"Sample Rate:"_s }, { dialog.encoderLabel, u" Encoder: "_s },
            { dialog.channelLabel, u"Channel:"_s }, { dialog.bitRateLabel, u"BitRate :"_s } };
        for (const auto &[label, text] : labels) {
            QCOMPARE(label->text(), text);
            QVERIFY(label->buddy());
        }
        QCOMPARE(dialog.audioGroup->title(), u" Audio "_s);
        QCOMPARE(dialog.profileComBox->maxVisibleItems(), 20);
        QCOMPARE(dialog.saveasBtn->text(), u"Save as"_s);
        QCOMPARE(dialog.defaultBtn->text(), u"Default"_s);
        QCOMPARE(dialog.okBtn->text(), u"OK"_s);
        QVERIFY(dialog.okBtn->isDefault());
        QCOMPARE(dialog.BitBtn3->text(), u"Cancel"_s);

        QCOMPARE(itemsOf(dialog.AsampleRateCombox),
            QStringList({ u"8000 Hz"_s, u"16000 Hz"_s, u"22050 Hz"_s, u"32000 Hz"_s, u"44100 Hz"_s, u"48000 Hz"_s }));
        QCOMPARE(dialog.AsampleRateCombox->currentText(), u"48000 Hz"_s);
        QCOMPARE(itemsOf(dialog.AencoderCombox), QStringList { u"mp3"_s });
        QCOMPARE(dialog.AencoderCombox->currentText(), u"mp3"_s);
        QCOMPARE(
            itemsOf(dialog.AChannelCombox), QStringList({ u"1 Channel Mono"_s, u"2 Channels Stereo"_s, u"5.1"_s }));
        QCOMPARE(dialog.AChannelCombox->currentText(), u"2 Channels Stereo"_s);
        QCOMPARE(dialog.ABitRateCombox->count(), 14);
        QCOMPARE(dialog.ABitRateCombox->itemText(0), u"32 kbps"_s);
        QCOMPARE(dialog.ABitRateCombox->itemText(13), u"320 kbps"_s);
        QCOMPARE(dialog.ABitRateCombox->currentText(), u"128 kbps"_s);
    }

    // What the dialog shows reads back unchanged: lists, selections, a text that is no item,
    // disabled choosers and the saved-profiles flag.
    void choicesRoundTrip()
    {
        TsaveasFrm saveAs;
        TSettingFrm dialog(m_dialogs, saveAs, &m_main);
        SettingsChoices choices = SettingsChoices::designed();
        choices.profiles = BuiltInProfileNames() << u"Voice (*.mp3)"_s;
        choices.profilePosition = 14;
        choices.profilesChanged = true;
        choices.chooser(LibraryChooser::SampleRate) = { {}, -1, u"11025 Hz"_s, true };
        choices.chooser(LibraryChooser::Bitrate).disabled = true;
        SelectChooserText(choices.chooser(LibraryChooser::Channels), u"5.1"_s);
        dialog.showChoices(choices);
        QVERIFY(!dialog.AsampleRateCombox->isEnabled());
        QCOMPARE(dialog.profileComBox->currentText(), u"Voice (*.mp3)"_s);
        const SettingsChoices shown = dialog.choices();
        QCOMPARE(shown.profiles, choices.profiles);
        QCOMPARE(shown.profilePosition, 14);
        QCOMPARE(shown.choosers, choices.choosers);
        QVERIFY(shown.profilesChanged);
    }

    // A user's pick in the profile chooser loads that profile's library; a missing library
    // answers with the message and leaves the choosers.
    void profilePickAndDefault()
    {
        TsaveasFrm saveAs;
        TSettingFrm dialog(m_dialogs, saveAs, &m_main);
        const QString programDir = QStringLiteral(TOLM_PROGRAM_DIR);
        dialog.setPaths(
            { programDir, programDir + kCatalogueRelativePath, u"/nonexistent/userprofile.ini"_s, u"/nonexistent"_s });
        SettingsChoices choices = SettingsChoices::designed();
        choices.profiles = BuiltInProfileNames() << u"Gone (*.ogg)"_s;
        dialog.showChoices(choices);

        dialog.profileComBox->setCurrentIndex(11);
        Q_EMIT dialog.profileComBox->activated(11);
        QCOMPARE(dialog.AencoderCombox->currentText(), u"flac"_s);
        QVERIFY(!dialog.AsampleRateCombox->isEnabled() && !dialog.ABitRateCombox->isEnabled());

        dialog.profileComBox->setCurrentIndex(14);
        Q_EMIT dialog.profileComBox->activated(14);
        QCOMPARE(dialog.AencoderCombox->currentText(), u"flac"_s);
        dialog.defaultBtn->click();
        QCOMPARE(m_dialogs.messageTexts(),
            QStringList({ u"Cannot found  library file for selected profile!"_s,
                u"Cannot found  library file for selected profile!"_s }));
        QCOMPARE(m_dialogs.calls.first().message.caption, u"TOLM Audio Converter"_s);
    }
};

QTEST_MAIN(TestSettingsDialog)
#include "tst_settingsdialog.moc"
