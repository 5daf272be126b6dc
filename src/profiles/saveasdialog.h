#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// The save-as dialog's controls. Their object names are the form's (profileEdit1, okBtn, ...).
struct SaveAsControls
{
    QLabel *promptLabel = nullptr;
    QLineEdit *nameEdit = nullptr;
    QPushButton *okButton = nullptr;
    QPushButton *cancelButton = nullptr;
};

// Asks for the name of a new user profile. Created at start-up and kept, so the edit keeps
// its text from one use to the next.
class TsaveasFrm : public QDialog
{
    Q_OBJECT

public:
    explicit TsaveasFrm(QWidget *parent = nullptr);

    const SaveAsControls &controls() const { return m_ui; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    SaveAsControls m_ui;
};
