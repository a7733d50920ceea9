#pragma once
// Caption text for frames: white, anti-aliased, drawn at twice the size on a black work bitmap
// and averaged over 2 x 2 blocks onto the frame. The text is laid out by LayOutText over the
// faces of a TFontSet; FreeType draws the glyphs.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/image/U_Bitmap32.h"
#include "platform/text/U_FontSet.h"
#include "platform/text/U_TextLayout.h"
#include "platform/text/U_TextLook.h"

// An 8-bit coverage bitmap (0 = nothing, 255 = full white) placed relative to the text's
// top-left corner: its pixel (0, 0) lies at (Left, Top) from that corner.
struct TCoverageMap {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Values;

    std::uint8_t At(int x, int y) const {
        return Values[static_cast<std::size_t>(y) * static_cast<std::size_t>(Width) +
                      static_cast<std::size_t>(x)];
    }
};

class TTextRenderer {
public:
    static constexpr int Supersampling = 2;

    // emPixels is the em size on the frame (12 points at 96 dpi = 16); the work bitmap uses
    // Supersampling times that. Throws EMorvantaError when no usable face is found.
    explicit TTextRenderer(int emPixels, const std::string& family = "MS Sans Serif");
    ~TTextRenderer();
    TTextRenderer(const TTextRenderer&) = delete;
    TTextRenderer& operator=(const TTextRenderer&) = delete;

    // The main face's file.
    const std::string& FontFile() const { return fonts_.File(TFontSet::MainFace); }
    int WorkEmPixels() const { return workEm_; }
    // The faces the glyphs of Layout refer to.
    const TFontSet& Fonts() const { return fonts_; }

    // The text as it will be drawn: glyphs, their faces, clusters and positions.
    TTextLayout Layout(const std::string& utf8) { return LayOutText(fonts_, utf8); }

    // The UTF-8 text in white on black at the work size, relative to the text's top-left
    // corner in work pixels (the top of the text box is the ascender line). Glyphs that start
    // at or beyond maxWorkWidth are left out. Left and Top are even, so 2 x 2 blocks of the
    // map fall on whole frame pixels.
    TCoverageMap RenderWork(const std::string& utf8, int maxWorkWidth);

    // Draws the text with its top-left corner at (left, top) of the frame, cut at the frame's
    // edges. Each frame pixel under a block of coverage a (the four work values summed,
    // shifted right by 2) moves towards white: v + (255 - v) * a / 255, rounded to nearest.
    void DrawText(TBitmap32& frame, int left, int top, const std::string& utf8);
    // The same in another colour (each pixel moves towards it by a / 255), over a black
    // outline (the coverage grown by about a twelfth of the em each way) or a black shadow
    // (the coverage moved down and right by that much). White without an edge is DrawText.
    void DrawText(TBitmap32& frame, int left, int top, const std::string& utf8,
                  const TTextLook& look);
    // Frame pixels from the text's left edge to its last glyph's advance.
    int TextWidth(const std::string& utf8);

private:
    struct TGlyph {
        int Left = 0; // from the glyph's origin to the bitmap's first column
        int Top = 0;  // from the baseline up to the bitmap's first row
        int Width = 0;
        int Height = 0;
        std::vector<std::uint8_t> Values;
    };
    const TGlyph& Glyph(int face, std::uint32_t glyph);
    const TCoverageMap& Averaged(const std::string& utf8, int maxWidth);

    int workEm_ = 0;
    TFontSet fonts_;
    std::map<std::pair<int, std::uint32_t>, TGlyph> glyphs_; // by face and glyph id
    // Frame-size maps of recently drawn texts (the counter and caption repeat for many frames).
    std::vector<std::pair<std::pair<std::string, int>, TCoverageMap>> recent_;
};
