#include "profiles/saveasdialog.h"

#include "widgets/controlfactory.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;
using namespace ControlFactory;

TsaveasFrm::TsaveasFrm(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(u"saveasFrm"_s);
    setWindowTitle(u"Save AS"_s);
    setFixedSize(348, 150);

    m_ui.promptLabel = label(this, u"promptLabel"_s, u"Please name this new profile:"_s, QRect(24, 22, 300, 20));
    m_ui.nameEdit = field(new QLineEdit(u" "_s, this), u"profileEdit1"_s, QRect(24, 50, 300, 28), m_ui.promptLabel);
    m_ui.okButton = button(this, u"okBtn"_s, u"OK"_s, QRect(150, 102, 82, 30));
    m_ui.okButton->setDefault(true);
    m_ui.cancelButton = button(this, u"cancelBtn"_s, u"Cancel"_s, QRect(242, 102, 82, 30));

    connect(m_ui.okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui.cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TsaveasFrm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_ui.nameEdit->setFocus();
}
