#pragma once
// One frame of the change from one picture to the next. Step 0 of every kind but the cut is
// the outgoing frame itself; step k of n has gone k / n of the way, so no step shows the
// incoming frame whole (the next frame, the incoming picture's first, does). The cross-fade is
// TFramesFader's, rounding included.
#include "platform/image/U_Bitmap32.h"
#include "video/U_ShowStyle.h"

// Writes step `step` (0 .. steps - 1) of `kind` (not Random) from `from` to `to` (same size)
// into dest. A cut shows `from`. Throws for a step outside the transition.
void RenderTransition(TTransition kind, const TBitmap32& from, const TBitmap32& to, int step,
                      int steps, TBitmap32& dest);
