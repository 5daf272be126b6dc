#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// Asks for the name of a new user profile. Created at start-up and kept, so the edit keeps
// its text from one use to the next.
class TsaveasFrm : public QDialog
{
    Q_OBJECT

public:
    explicit TsaveasFrm(QWidget *parent = nullptr);

    QLabel *promptLabel = nullptr;
    QLineEdit *profileEdit1 = nullptr;
    QPushButton *okBtn = nullptr;
    QPushButton *cancelBtn = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
};
