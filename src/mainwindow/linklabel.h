#pragma once

#include <QLabel>
#include <QUrl>

// A text that opens an address when clicked: blue, red while the mouse is over it.
class LinkLabel : public QLabel
{
    Q_OBJECT

public:
    LinkLabel(const QString &text, const QUrl &url, QWidget *parent = nullptr);

    QUrl url() const { return m_url; }
    QColor textColour() const;

    static constexpr QRgb kNormal = 0xff0000ff;
    static constexpr QRgb kHover = 0xffff0000;

Q_SIGNALS:
    void activated(const QUrl &url);

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void setColour(QRgb colour);

    QUrl m_url;
};
