#pragma once

#include "audiopicture.h"

#include <QImage>
#include <QTimer>
#include <QWidget>

// The player's one window, titled "Preview": the video frame, the picture of the sound or
// a short message, drawn inside the part of the window its host leaves visible. P toggles
// pause and Q quits, whether typed or sent by the window program.
class PreviewWindow : public QWidget
{
    Q_OBJECT

public:
    explicit PreviewWindow(QSize size);

    void showFrame(const QImage &frame, double aspect);
    void showSpectrum(const QList<float> &levels);
    void showCannotPlay();
    // In this window's own coordinates; the whole window while it is top-level.
    void setVisibleArea(const QRect &area);

Q_SIGNALS:
    void pauseToggled();
    void quitRequested();
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QRect pictureArea() const;

    QImage m_frame;
    double m_aspect = 1.0;
    AudioPicture m_audioPicture;
    bool m_cannotPlay = false;
    QRect m_visibleArea;
    QTimer m_quitWithoutRelease;
};
