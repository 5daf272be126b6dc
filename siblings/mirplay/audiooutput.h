#pragma once

#include "media/gstptr.h"

// The element that takes the preview's sound: the desktop's sound output when there is
// one, otherwise a sink that throws the sound away at the pace of the clock, so the
// picture and the position still run in real time.
struct AudioOutput
{
    media::ElementPtr element;
    bool toDevice = false; // false: the silent real-time sink
};

// TOLM_MIRPLAY_AUDIO_OUTPUT, when set, names the output as a GStreamer bin description
// (for example "pulsesink device=..."); otherwise GStreamer picks the desktop's output.
AudioOutput makeDesktopAudioOutput();
AudioOutput makeSilentAudioOutput();
