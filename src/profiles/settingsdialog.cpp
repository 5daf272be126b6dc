#include "profiles/settingsdialog.h"

#include "platform/dialogs.h"
#include "profiles/saveasdialog.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

QComboBox *makeChooser(QWidget *parent, const QString &name, QLabel *label, const QRect &geometry)
{
    auto *chooser = new QComboBox(parent);
    chooser->setObjectName(name);
    chooser->setGeometry(geometry);
    chooser->setAccessibleName(label->text().trimmed());
    label->setBuddy(chooser);
    return chooser;
}

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &text, const QRect &geometry)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QPushButton *makeButton(QWidget *parent, const QString &name, const QString &text, const QRect &geometry)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setAccessibleName(text);
    button->setAutoDefault(false);
    return button;
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
        return m_form.profileEdit1->text();
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

    profileLabel = makeLabel(this, u"profileLabel"_s, u"Profile:"_s, QRect(12, 16, 60, 26));
    profileComBox = makeChooser(this, u"profileComBox"_s, profileLabel, QRect(78, 16, 296, 26));
    profileComBox->setMaxVisibleItems(20);
    saveasBtn = makeButton(this, u"saveasBtn"_s, u"Save as"_s, QRect(384, 15, 88, 28));

    audioGroup = new QGroupBox(u" Audio "_s, this);
    audioGroup->setObjectName(u"audioGroup"_s);
    audioGroup->setGeometry(12, 54, 461, 110);
    encoderLabel = makeLabel(audioGroup, u"encoderLabel"_s, u" Encoder: "_s, QRect(4, 28, 74, 26));
    AencoderCombox = makeChooser(audioGroup, u"AencoderCombox"_s, encoderLabel, QRect(82, 28, 150, 26));
    sampleRateLabel = makeLabel(audioGroup, u"sampleRateLabel"_s, u"Sample Rate:"_s, QRect(236, 28, 84, 26));
    AsampleRateCombox = makeChooser(audioGroup, u"AsampleRateCombox"_s, sampleRateLabel, QRect(324, 28, 126, 26));
    channelLabel = makeLabel(audioGroup, u"channelLabel"_s, u"Channel:"_s, QRect(4, 68, 74, 26));
    AChannelCombox = makeChooser(audioGroup, u"AChannelCombox"_s, channelLabel, QRect(82, 68, 150, 26));
    bitRateLabel = makeLabel(audioGroup, u"bitRateLabel"_s, u"BitRate :"_s, QRect(236, 68, 84, 26));
    ABitRateCombox = makeChooser(audioGroup, u"ABitRateCombox"_s, bitRateLabel, QRect(324, 68, 126, 26));

    defaultBtn = makeButton(this, u"defaultBtn"_s, u"Default"_s, QRect(12, 182, 88, 30));
    okBtn = makeButton(this, u"okBtn"_s, u"OK"_s, QRect(288, 182, 88, 30));
    okBtn->setDefault(true);
    BitBtn3 = makeButton(this, u"BitBtn3"_s, u"Cancel"_s, QRect(385, 182, 88, 30));

    showChoices(SettingsChoices::designed());

    connect(okBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn3, &QPushButton::clicked, this, &QDialog::reject);
    connect(defaultBtn, &QPushButton::clicked, this, &TSettingFrm::defaultBtnClick);
    connect(saveasBtn, &QPushButton::clicked, this, &TSettingFrm::saveasBtnClick);
    connect(profileComBox, &QComboBox::activated, this, &TSettingFrm::profileComBoxSelect);
}

QList<QComboBox *> TSettingFrm::libraryChoosers() const
{
    return { AencoderCombox, AChannelCombox, AsampleRateCombox, ABitRateCombox };
}

SettingsChoices TSettingFrm::choices() const
{
    SettingsChoices choices;
    for (int i = 0; i < profileComBox->count(); ++i)
        choices.profiles << profileComBox->itemText(i);
    choices.profilePosition = profileComBox->currentIndex();
    for (const QComboBox *chooser : libraryChoosers())
        choices.choosers << recordOf(chooser);
    choices.profilesChanged = m_profilesChanged;
    return choices;
}

void TSettingFrm::showChoices(const SettingsChoices &choices)
{
    showInChooser(profileComBox, choices.profiles, choices.profilePosition, {});
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
