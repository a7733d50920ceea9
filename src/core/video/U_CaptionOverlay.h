#pragma once
// The caption of a frame: the darkened band, the counter and the caption text, placed and
// drawn as a caption style says. The plain style is the band at the bottom and 12-point white
// text, the counter at the left and the caption from the middle on.
#include <memory>
#include <string>

#include "platform/image/U_Bitmap32.h"
#include "video/U_ShowStyle.h"

class TTextRenderer;

// First row of the darkened caption band of a frame `height` rows high (plain style).
int CaptionBandTop(int height);

// Em size in frame pixels of a caption of `points` points at 96 dots per inch.
int CaptionEmPixels(int points);

class TCaptionOverlay {
public:
    // `scale` lays the captions out for a frame that scale x the video's size shows (the live
    // preview's small frames): the face and every distance shrink with it. 1: the video's.
    explicit TCaptionOverlay(const TCaptionStyle& style, double scale = 1);
    ~TCaptionOverlay();
    TCaptionOverlay(const TCaptionOverlay&) = delete;
    TCaptionOverlay& operator=(const TCaptionOverlay&) = delete;

    // Rows [First, Last) of the band on a frame of that height.
    struct TRows {
        int First = 0;
        int Last = 0;
    };
    TRows BandRows(int height) const;

    // Darkens the band (when the style has one): each colour becomes round(0.6 x value),
    // alpha 255.
    void DrawBand(TBitmap32& frame) const;
    // The counter (empty: none) and the caption, over a frame whose band is drawn already.
    // The text face opens on the first call.
    void DrawTexts(TBitmap32& frame, const std::string& counter, const std::string& caption);

    const TCaptionStyle Style;

private:
    const int em_;
    const int counterLeft_;  // the counter's first column
    const int captionShift_; // the plain caption starts this far left of the middle
    std::unique_ptr<TTextRenderer> text_;
};
