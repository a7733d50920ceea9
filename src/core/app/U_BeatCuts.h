#pragma once
// "Cut on the beat": each picture change moved to the nearest beat of the music within a
// quarter of the picture's time, with as many pictures and as many frames as before.
#include <string>
#include <vector>

#include "video/U_VideoMaker.h"

struct TBeatCuts {
    std::vector<TPictureStyle> Styles; // the pictures' styles with their new times
    int Moved = 0;                     // picture changes that moved
    int Changes = 0;                   // picture changes in the show
};

// The new times for the show of `inputs` at `frameDuration` ms per frame, given the music's
// beats in seconds. The last picture takes what is left, so the frame count stays.
TBeatCuts CutOnTheBeat(const TVideoMakerInputs& inputs, int frameDuration,
                       const std::vector<double>& beats);

// Finds the beats of the songs and moves the show's picture changes onto them (inputs'
// PictureStyles). Returns the one line to tell the user. Throws EMorvantaError when a song
// cannot be decoded.
std::string ApplyCutsOnTheBeat(TVideoMakerInputs& inputs, int frameDuration,
                               const std::vector<std::string>& songs, int songFadeMs);
