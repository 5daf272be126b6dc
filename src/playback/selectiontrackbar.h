#pragma once

#include <QSlider>

// A horizontal track bar that also draws a selected range of its values along its groove.
class SelectionTrackBar : public QSlider
{
    Q_OBJECT

public:
    explicit SelectionTrackBar(QWidget *parent = nullptr);

    int selectionStart() const { return m_selectionStart; }
    int selectionEnd() const { return m_selectionEnd; }
    void setSelectionStart(int value);
    void setSelectionEnd(int value);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_selectionStart = 0;
    int m_selectionEnd = 0;
};
