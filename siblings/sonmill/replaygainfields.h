#pragma once

namespace sonmill {

// ReplayGain 2.0 values as the tag module receives them: gains in dB against -18 LUFS,
// peaks linear (true peak, 1.0 is full scale).
struct ReplayGainFields
{
    bool hasTrack = false;
    double trackGainDb = 0;
    double trackPeak = 0;
    bool hasAlbum = false;
    double albumGainDb = 0;
    double albumPeak = 0;

    bool empty() const { return !hasTrack && !hasAlbum; }
};

} // namespace sonmill
