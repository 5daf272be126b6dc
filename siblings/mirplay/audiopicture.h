#pragma once

#include <QList>
#include <QRect>

class QPainter;

// The live picture of the sound for files without video: bars of a spectrum whose bands
// widen with frequency, as the ear hears them.
class AudioPicture
{
public:
    // levels: equally wide bands from 0 Hz up, each from 0 (silent) to 1.
    void setSpectrum(const QList<float> &levels);
    void paint(QPainter &painter, const QRect &area) const;

private:
    QList<float> m_bars;
};
