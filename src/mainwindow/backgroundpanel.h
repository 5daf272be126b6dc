#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QWidget>

// The window's background: paints the header band and the cards behind the control groups,
// and moves the frameless window when it is dragged. A press counts only on the background
// itself, never on a control standing on it.
class BackgroundPanel : public QWidget
{
    Q_OBJECT

public:
    explicit BackgroundPanel(QWidget *parent = nullptr);

    void setHeaderHeight(int height) { m_headerHeight = height; }
    void setCards(const QList<QRect> &cards) { m_cards = cards; }

Q_SIGNALS:
    // A left press on the background: the window is about to be moved.
    void moveRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    int m_headerHeight = 0;
    QList<QRect> m_cards;
    bool m_manualDrag = false; // the window system offers no move of its own
    QPoint m_grabOffset;
};
