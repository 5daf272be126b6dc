#include "profiles/saveasdialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

TsaveasFrm::TsaveasFrm(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(u"saveasFrm"_s);
    setWindowTitle(u"Save AS"_s);
    setFixedSize(348, 150);

    promptLabel = new QLabel(u"Please name this new profile:"_s, this);
    promptLabel->setObjectName(u"promptLabel"_s);
    promptLabel->setGeometry(24, 22, 300, 20);

    profileEdit1 = new QLineEdit(u" "_s, this);
    profileEdit1->setObjectName(u"profileEdit1"_s);
    profileEdit1->setGeometry(24, 50, 300, 28);
    profileEdit1->setAccessibleName(promptLabel->text());
    promptLabel->setBuddy(profileEdit1);

    okBtn = new QPushButton(u"OK"_s, this);
    okBtn->setObjectName(u"okBtn"_s);
    okBtn->setGeometry(150, 102, 82, 30);
    okBtn->setDefault(true);
    okBtn->setAccessibleName(okBtn->text());
    connect(okBtn, &QPushButton::clicked, this, &QDialog::accept);

    cancelBtn = new QPushButton(u"Cancel"_s, this);
    cancelBtn->setObjectName(u"cancelBtn"_s);
    cancelBtn->setGeometry(242, 102, 82, 30);
    cancelBtn->setAccessibleName(cancelBtn->text());
    connect(cancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TsaveasFrm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    profileEdit1->setFocus();
}
