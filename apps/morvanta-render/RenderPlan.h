#pragma once
// What morvanta-render is asked to render, taken from its options and the project and checked
// before the first frame: the usable pictures, the soundtrack, the output, the codec and the run
// settings. Every warning and every value the program changes is said once on standard error.
#include <cstddef>
#include <string>
#include <vector>

#include "RenderOptions.h"
#include "app/U_RunSettings.h"
#include "audio/U_MediaFinish.h"
#include "platform/base/U_StringList.h"

struct TRenderPlan {
    TStringList Paths;
    TStringList Captions;
    std::size_t Skipped = 0; // pictures left out, each with its warning
    std::string Output;
    std::string Sound;                  // the first song, "" for none
    std::vector<std::string> MoreSongs; // the songs after it
    int SongFadeMs = 1000;
    TRunSettings Settings;
    bool AutoRotate = true;
    TSoundMode SoundMode = TSoundMode::Auto;
    int FadeOutMs = 2000;
};

// One line on standard error.
void Say(const std::string& text);

// 0 when `plan` is ready, else the exit status (1, or 2 for a usage error), its reason said.
int PlanRender(const TRenderOptions& options, const std::vector<std::string>& codecs,
               TRenderPlan& plan);

// "3 pictures", "3 pictures, 1 skipped", "1 picture".
std::string PictureCount(std::size_t used, std::size_t skipped);
