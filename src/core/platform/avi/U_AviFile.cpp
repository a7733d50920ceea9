// FourCC conversions shared by the AVI and codec layers.
#include "platform/avi/U_AviFile.h"

std::uint32_t StringToFourCC(const std::string& text) {
    char c[4] = {' ', ' ', ' ', ' '};
    for (std::size_t i = 0; i < 4 && i < text.size(); ++i) c[i] = text[i];
    return MakeFourCC(c[0], c[1], c[2], c[3]);
}

std::string FourCCToString(std::uint32_t v) {
    std::string s(4, ' ');
    for (int i = 0; i < 4; ++i) s[static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
    return s;
}
