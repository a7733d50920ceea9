#include "app/U_PictureFields.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/base/U_Errors.h"

namespace {

// "word=value": a key of letters and dashes, then anything.
bool IsPair(std::string_view item) {
    const auto eq = item.find('=');
    if (eq == 0 || eq == std::string_view::npos) return false;
    return std::all_of(item.begin(), item.begin() + static_cast<std::ptrdiff_t>(eq), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-';
    });
}

std::vector<std::string_view> Items(std::string_view field) {
    std::vector<std::string_view> items;
    for (;;) {
        const auto comma = field.find(',');
        items.push_back(field.substr(0, comma));
        if (comma == std::string_view::npos) return items;
        field.remove_prefix(comma + 1);
    }
}

} // namespace

bool ReadPictureField(std::string_view field, TPictureStyle& style) {
    const std::vector<std::string_view> items = Items(field);
    if (!std::all_of(items.begin(), items.end(), IsPair)) return false;
    TPictureStyle read = style;
    for (const std::string_view item : items) {
        // The project's reader for each pair alone: it leaves out what it does not take.
        const TPictureStyle one = ParsePictureStyle(item);
        if (one.IsPlain())
            throw EMorvantaError("Invalid picture setting: " + std::string(item) + " (" +
                                 std::string(PictureFieldForm) + ")");
        if (one.TimeMs) read.TimeMs = one.TimeMs;
        if (one.Transition) read.Transition = one.Transition;
        if (one.Motion) read.Motion = one.Motion;
        if (one.Fill) read.Fill = one.Fill;
    }
    style = read;
    return true;
}
