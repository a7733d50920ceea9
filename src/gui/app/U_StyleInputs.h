#pragma once
// The show's look as the window holds it (TMainDlg::ShowStyle and the PictureStyles list beside
// the picture list) handed to a run or a preview, and shown on the thumbnail strip.
#include <vector>

#include "app/U_RunSettings.h"
#include "platform/base/U_StringList.h"
#include "video/U_ShowStyle.h"

class TMainDlg;

// Each entry read with ParsePictureStyle ("" is a plain picture).
std::vector<TPictureStyle> PictureStylesOf(const TStringList& styles);
// Sets inputs.Style and inputs.PictureStyles from the window.
void AddStyleInputs(const TMainDlg& window, TRunInputs& inputs);
// What the window shows, read as "Go !" reads it (the spin edits take over a value still being
// typed), for a run and for the preview, so that the preview is the render's show.
TRunInputs ReadRunInputs(TMainDlg& window);
// Each shown thumbnail's tool tip: the file's name and the picture's time.
void ShowThumbTimes(TMainDlg& window);
