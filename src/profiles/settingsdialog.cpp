#include "profiles/settingsdialog.h"

#include "platform/dialogs.h"
#include "profiles/saveasdialog.h"
#include "widgets/controlfactory.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

// The dialog's buttons leave Enter to OK wherever the focus is.
QPushButton *dialogButton(QWidget *parent, const QString &objectName, const QString &caption, const QRect &geometry)
{
    auto *b = ControlFactory::button(parent, objectName, caption, geometry);
    b->setAutoDefault(false);
    return b;
}

QLabel *caption(QWidget *parent, const QString &objectName, const QString &text, const QRect &geometry)
{
    return ControlFactory::label(parent, objectName, text, geometry, Qt::AlignRight | Qt::AlignVCenter);
}

// A chooser as a library record: what it offers, which item it shows and whether it is off.
// A text that is not among the items is shown as the empty chooser's placeholder.
ChooserRecord recordOf(const QComboBox *chooser)
{
    ChooserRecord record;
    for (int i = 0; i < chooser->count(); ++i)
        record.items << chooser->itemText(i);
    record.selectedIndex = chooser->currentIndex();
    record.text = record.selectedIndex >= 0 ? chooser->currentText() : chooser->placeholderText();
    record.disabled = !chooser->isEnabled();
    return record;
}

void showInChooser(QComboBox *chooser, const QStringList &items, int selected, const QString &text)
{
    chooser->clear();
    chooser->addItems(items);
    chooser->setCurrentIndex(selected);
    chooser->setPlaceholderText(selected >= 0 ? QString() : text);
}

// The save-as dialog asked modally; its edit keeps the text for the next time.
class SaveAsFormPrompt : public SaveAsPrompt
{
public:
    explicit SaveAsFormPrompt(TsaveasFrm &form)
        : m_form(form)
    { }
    std::optional<QString> askName() override
    {
        if (m_form.exec() != QDialog::Accepted)
            return std::nullopt;
        return m_form.controls().nameEdit->text();
    }

private:
    TsaveasFrm &m_form;
};

} // namespace

TSettingFrm::TSettingFrm(Dialogs &dialogs, TsaveasFrm &saveAs, QWidget *mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint)
    , m_dialogs(dialogs)
    , m_saveAs(saveAs)
{
    setObjectName(u"SettingFrm"_s);
    setWindowTitle(u"Advanced Profile Settings"_s);
    setFixedSize(kClientSize);

    using ControlFactory::chooser;
    m_ui.profileLabel = caption(this, u"profileLabel"_s, u"Profile:"_s, QRect(12, 16, 60, 26));
    m_ui.profileChooser = chooser(this, u"profileComBox"_s, {}, -1, QRect(78, 16, 296, 26), m_ui.profileLabel);
    m_ui.profileChooser->setMaxVisibleItems(20);
    m_ui.saveAsButton = dialogButton(this, u"saveasBtn"_s, u"Save as"_s, QRect(384, 15, 88, 28));

    QGroupBox *group = m_ui.audioGroup
        = ControlFactory::placed(new QGroupBox(u" Audio "_s, this), u"audioGroup"_s, QRect(12, 54, 461, 110));
    m_ui.encoderLabel = caption(group, u"encoderLabel"_s, u" Encoder: "_s, QRect(4, 28, 74, 26));
    m_ui.encoderChooser = chooser(group, u"AencoderCombox"_s, {}, -1, QRect(82, 28, 150, 26), m_ui.encoderLabel);
    m_ui.sampleRateLabel = caption(group, u"sampleRateLabel"_s, u"Sample Rate:"_s, QRect(236, 28, 84, 26));
    m_ui.sampleRateChooser
        = chooser(group, u"AsampleRateCombox"_s, {}, -1, QRect(324, 28, 126, 26), m_ui.sampleRateLabel);
    m_ui.channelLabel = caption(group, u"channelLabel"_s, u"Channel:"_s, QRect(4, 68, 74, 26));
    m_ui.channelChooser = chooser(group, u"AChannelCombox"_s, {}, -1, QRect(82, 68, 150, 26), m_ui.channelLabel);
    m_ui.bitRateLabel = caption(group, u"bitRateLabel"_s, u"BitRate :"_s, QRect(236, 68, 84, 26));
    m_ui.bitRateChooser = chooser(group, u"ABitRateCombox"_s, {}, -1, QRect(324, 68, 126, 26), m_ui.bitRateLabel);

    m_ui.defaultButton = dialogButton(this, u"defaultBtn"_s, u"Default"_s, QRect(12, 182, 88, 30));
    m_ui.okButton = dialogButton(this, u"okBtn"_s, u"OK"_s, QRect(288, 182, 88, 30));
    m_ui.okButton->setDefault(true);
    m_ui.cancelButton = dialogButton(this, u"BitBtn3"_s, u"Cancel"_s, QRect(385, 182, 88, 30));

    showChoices(SettingsChoices::designed());

    connect(m_ui.okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui.cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui.defaultButton, &QPushButton::clicked, this, &TSettingFrm::defaultBtnClick);
    connect(m_ui.saveAsButton, &QPushButton::clicked, this, &TSettingFrm::saveasBtnClick);
    connect(m_ui.profileChooser, &QComboBox::activated, this, &TSettingFrm::profileComBoxSelect);
}

QList<QComboBox *> TSettingFrm::libraryChoosers() const
{
    return { m_ui.encoderChooser, m_ui.channelChooser, m_ui.sampleRateChooser, m_ui.bitRateChooser };
}

SettingsChoices TSettingFrm::choices() const
{
    SettingsChoices choices;
    for (int i = 0; i < m_ui.profileChooser->count(); ++i)
        choices.profiles << m_ui.profileChooser->itemText(i);
    choices.profilePosition = m_ui.profileChooser->currentIndex();
    for (const QComboBox *chooser : libraryChoosers())
        choices.choosers << recordOf(chooser);
    choices.profilesChanged = m_profilesChanged;
    return choices;
}

void TSettingFrm::showChoices(const SettingsChoices &choices)
{
    showInChooser(m_ui.profileChooser, choices.profiles, choices.profilePosition, {});
    const QList<QComboBox *> choosers = libraryChoosers();
    for (int i = 0; i < choosers.size() && i < choices.choosers.size(); ++i) {
        const ChooserRecord &record = choices.choosers.at(i);
        showInChooser(choosers.at(i), record.items, record.selectedIndex, record.text);
        choosers.at(i)->setEnabled(!record.disabled);
    }
    m_profilesChanged = choices.profilesChanged;
}

QString TSettingFrm::prepareFor(const QStringList &mainProfiles, const TStartRecord &job)
{
    SettingsChoices now = choices();
    const QString refusal = PrepareSettings(now, m_paths, mainProfiles, job);
    showChoices(now);
    return refusal;
}

void TSettingFrm::showMessage(const QString &text)
{
    m_dialogs.showMessage(this, MessageRequest::plain(text));
}

void TSettingFrm::profileComBoxSelect(int position)
{
    SettingsChoices now = choices();
    const QString message = SelectSettingsProfile(now, m_paths, position);
    showChoices(now);
    if (!message.isEmpty())
        showMessage(message);
}

void TSettingFrm::defaultBtnClick()
{
    SettingsChoices now = choices();
    const QString message = ReloadSettingsProfile(now, m_paths);
    showChoices(now);
    if (!message.isEmpty())
        showMessage(message);
}

void TSettingFrm::saveasBtnClick()
{
    SettingsChoices now = choices();
    SaveAsFormPrompt prompt(m_saveAs);
    if (SaveUserProfile(now, m_paths, prompt, m_dialogs, parentWidget()))
        showChoices(now);
}
