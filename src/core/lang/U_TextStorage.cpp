#include "lang/U_TextStorage.h"

#include <algorithm>

namespace {

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

std::string TTextStorage::TranslateText(std::string_view message) const {
    const auto found =
        std::find_if(baseItems_.begin(), baseItems_.end(),
                     [&](const std::string& line) { return SameTextIgnoringCase(line, message); });
    if (found == baseItems_.end()) return std::string(message);
    const auto k = static_cast<std::size_t>(found - baseItems_.begin());
    // A language file may hold fewer lines than the English list.
    if (k >= Items.Count()) return std::string(message);
    const std::string& shown = Items[k];
    return shown == "unused" ? std::string(message) : shown;
}
