#pragma once
// One step of a cross-fade between two frames of the same size.
#include "platform/image/U_Bitmap32.h"
#include "video/U_FadeBlend.h"

class TFramesFader {
public:
    // Both frames are borrowed and read afresh on every Blend, so their owner may refill them
    // in place between fades.
    TFramesFader(const TBitmap32& FadeFrom, const TBitmap32& FadeTo, int FadeFrames);
    TFramesFader(const TFramesFader&) = delete;
    TFramesFader& operator=(const TFramesFader&) = delete;

    // Writes step Step (0 .. FadeFrames - 1) into Dest, resized to FadeFrom's size. Step 0 is
    // FadeFrom; step k is k / FadeFrames of the way to FadeTo. Output alpha is 0. The bytes are
    // the same whichever code is asked for.
    void Blend(int Step, TBitmap32& Dest, TFadeCode code = TFadeCode::Best) const;

    const TBitmap32& FadeFrom;
    const TBitmap32& FadeTo;
    const int FadeFrames;
};
