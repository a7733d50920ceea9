#pragma once
// The beats of a soundtrack, from aubio's beat tracker over the decoded sound.
#include <vector>

#include "audio/U_PcmSource.h"

struct TBeats {
    std::vector<double> Seconds; // each beat, from the start of the sound
    bool Clear = false;          // steady enough to cut pictures on
    double Confidence = 0;       // the tracker's, 0 to 1
};

// Reads all of `pcm`. A sound without a steady beat (speech, a held tone, silence) is not
// Clear.
TBeats FindBeats(TPcmSource& pcm);

// Whether beats this far apart are steady: most intervals near their median, at a tempo music
// has (40 to 240 beats per minute).
bool IsSteadyBeat(const std::vector<double>& seconds);
