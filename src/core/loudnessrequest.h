#pragma once

#include <optional>

// What a row asks of the transcoder's loudness work. Empty unless the user chose it: the
// command of a row without these choices is exactly the one it always was.
struct LoudnessRequest
{
    std::optional<int> normalizeLufs; // "Normalize loudness": the target integrated loudness
    bool replayGain = false; // write the output's ReplayGain track values
    std::optional<double> albumGainDb; // with albumPeak: the album's values, measured first
    std::optional<double> albumPeak; // linear true peak

    bool operator==(const LoudnessRequest &) const = default;
};
