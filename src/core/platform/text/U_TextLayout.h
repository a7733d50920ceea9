#pragma once
// One line of caption text laid out for drawing: split into runs of one direction, script
// and face, each run shaped by HarfBuzz, the runs put in visual order by the bidirectional
// algorithm (FriBidi), the paragraph direction taken from the text itself.
#include <cstdint>
#include <string>
#include <vector>

class TFontSet;

// Longest text laid out at once: more never fits on a frame, and it bounds the work for
// hostile captions made of zero-width characters.
inline constexpr std::size_t MaxLayoutCodePoints = 4096;

struct TPlacedGlyph {
    int Face = 0;            // index in the font set
    std::uint32_t Glyph = 0; // glyph id in that face; 0 is the face's missing-glyph box
    int Cluster = 0;         // index in TTextLayout::Text of the first character it draws
    // Pen position of the glyph's origin, from the text's left edge and baseline, in 1/64
    // work pixel (y grows downwards).
    std::int32_t X = 0;
    std::int32_t Y = 0;
};

struct TTextLayout {
    // The characters laid out, in logical order, after tabs, line breaks and other control
    // characters became spaces.
    std::u32string Text;
    // Glyphs from left to right as drawn.
    std::vector<TPlacedGlyph> Glyphs;
    // Total advance in 1/64 work pixel.
    std::int32_t Width = 0;
    bool RightToLeft = false; // paragraph direction
};

// UTF-8 to code points. A byte that does not start a valid sequence stands for itself as
// Latin-1, so captions from older 8-bit project files still show their accented letters.
std::u32string DecodeUtf8(const std::string& text, std::size_t maxCount);

TTextLayout LayOutText(TFontSet& fonts, const std::string& utf8);
