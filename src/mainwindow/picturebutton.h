#pragma once

#include <QAbstractButton>
#include <QIcon>
#include <QPixmap>

// A large image button: a coloured face with a symbol while enabled, and a picture loaded
// from a file while disabled (the conversion queue swaps that picture).
class PictureButton : public QAbstractButton
{
    Q_OBJECT

public:
    explicit PictureButton(QWidget *parent = nullptr);

    void setSymbol(const QIcon &symbol)
    {
        m_symbol = symbol;
        update();
    }
    // Loads the disabled picture; a picture@2x file beside it serves high DPI screens.
    // Returns false when the file cannot be read (the face is then drawn greyed).
    bool loadDisabledPicture(const QString &path);
    QString disabledPicturePath() const { return m_disabledPath; }

    QSize sizeHint() const override { return { 172, 98 }; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QIcon m_symbol;
    QIcon m_disabledPicture;
    QString m_disabledPath;
    bool m_hover = false;
};
