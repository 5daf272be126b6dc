#include "mainwindow/outputchoicesview.h"

#include "batch/outputchoices.h"
#include "mainwindow/outputcontrols.h"

#include <QComboBox>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {
constexpr QStringView kLosslessText = u"Lossless";
} // namespace

OutputChoicesView::OutputChoicesView(OutputChoices &choices, const OutputControls &ui, QObject *parent)
    : QObject(parent)
    , m_choices(choices)
    , m_ui(ui)
{
    showProfiles();
    showQualityPosition();
    showSwitches();
    showDestinationFolder(choices.destinationFolder());
    m_ui.simultaneousBox->setCurrentIndex(choices.simultaneous() - 1);
    m_ui.afterDoneBox->setCurrentIndex(choices.afterDone());

    connect(&choices, &OutputChoices::profilesChanged, this, &OutputChoicesView::showProfiles);
    connect(&choices, &OutputChoices::profilePositionChanged, this, [this](int position) {
        const QScopedValueRollback showing(m_showing, true);
        m_ui.profileBox->setCurrentIndex(position);
    });
    connect(&choices, &OutputChoices::qualityPositionChanged, this, &OutputChoicesView::showQualityPosition);
    connect(&choices, &OutputChoices::switchesChanged, this, &OutputChoicesView::showSwitches);
    connect(&choices, &OutputChoices::destinationFolderChanged, this, &OutputChoicesView::showDestinationFolder);
    connect(&choices, &OutputChoices::simultaneousChanged, this,
        [this](int count) { m_ui.simultaneousBox->setCurrentIndex(count - 1); });
    connect(&choices, &OutputChoices::afterDoneChanged, m_ui.afterDoneBox, &QComboBox::setCurrentIndex);

    connect(m_ui.profileBox, &QComboBox::currentIndexChanged, this, [this](int position) {
        if (!m_showing)
            m_choices.setProfilePosition(position);
    });
    connect(m_ui.AQualityBtn, &QComboBox::currentIndexChanged, this, [this](int position) {
        if (!m_showing && position >= 0)
            m_choices.setQualityPosition(position);
    });
    connect(m_ui.profileBox, &QComboBox::activated, this, [this](int position) {
        m_choices.setProfilePosition(position);
        Q_EMIT profilePicked();
    });
    connect(m_ui.AQualityBtn, &QComboBox::activated, this, [this](int position) {
        m_choices.setQualityPosition(position);
        Q_EMIT qualityPicked();
    });
    connect(m_ui.pathdir, &QLineEdit::textChanged, &choices, &OutputChoices::setDestinationFolder);
    connect(m_ui.simultaneousBox, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            m_choices.setSimultaneous(index + 1);
    });
    connect(m_ui.afterDoneBox, &QComboBox::currentIndexChanged, &choices, &OutputChoices::setAfterDone);
}

void OutputChoicesView::showProfiles()
{
    const QScopedValueRollback showing(m_showing, true);
    m_ui.profileBox->clear();
    m_ui.profileBox->addItems(m_choices.profiles());
    m_ui.profileBox->setCurrentIndex(m_choices.profilePosition());
}

void OutputChoicesView::showQualityPosition()
{
    const QScopedValueRollback showing(m_showing, true);
    m_ui.AQualityBtn->setCurrentIndex(m_choices.qualityPosition());
    // A chooser that says "Lossless" goes on saying it.
    if (m_choices.qualityLook() == QualityLook::Lossless)
        showLosslessWord();
}

void OutputChoicesView::showSwitches()
{
    const QScopedValueRollback showing(m_showing, true);
    m_ui.settingBtn->setEnabled(m_choices.settingsEnabled());
    const QualityLook look = m_choices.qualityLook();
    m_ui.setQualityChooserPlain(look != QualityLook::List);
    if (look == QualityLook::Lossless) {
        m_ui.AQualityBtn->setInsertPolicy(QComboBox::NoInsert); // Return must not make "Lossless" an item
        showLosslessWord();
    } else if (look == QualityLook::Plain) {
        m_ui.AQualityBtn->setCurrentIndex(m_choices.qualityPosition()); // the entry, in place of the word
    }
    m_ui.AQualityBtn->setEnabled(m_choices.qualityEnabled());
}

// The narrow plain chooser shows the word from its start.
void OutputChoicesView::showLosslessWord() const
{
    m_ui.AQualityBtn->lineEdit()->setText(kLosslessText.toString());
    m_ui.AQualityBtn->lineEdit()->setCursorPosition(0);
}

QString OutputChoicesView::text() const
{
    return m_ui.pathdir->text();
}

void OutputChoicesView::setText(const QString &text)
{
    m_ui.pathdir->setText(text);
}

// The edit's own typing reaches the choices first: setting the text it already holds would move
// the caret and drop the selection under the user's hands.
void OutputChoicesView::showDestinationFolder(const QString &folder)
{
    if (m_ui.pathdir->text() != folder)
        m_ui.pathdir->setText(folder);
}

int OutputChoicesView::caret() const
{
    return m_ui.pathdir->cursorPosition();
}

void OutputChoicesView::selectAll()
{
    m_ui.pathdir->selectAll();
}

void OutputChoicesView::selectToEnd(int caret)
{
    const int end = int(m_ui.pathdir->text().size());
    m_ui.pathdir->setSelection(end, caret - end);
}
