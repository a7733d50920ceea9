#pragma once
// How caption text is coloured and set off from the picture under it.
#include <cstdint>

enum class TTextEdge { None, Outline, Shadow };

struct TTextLook {
    std::uint32_t Colour = 0xFFFFFF; // 0xRRGGBB
    TTextEdge Edge = TTextEdge::None;
};
