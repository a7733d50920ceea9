#include "app/U_ProjectStyle.h"

#include <algorithm>
#include <charconv>

namespace {

constexpr std::string_view PicturePrefix = ";Picture=";
// Far more than any list; larger numbers are not numbers of pictures.
constexpr std::size_t MaxPictureNumber = 100000000;

bool IsShowKey(std::string_view key) {
    for (const std::string_view name : StyleSettingNames())
        if (name == key) return true;
    return key == "CaptionColor";
}

} // namespace

bool ReadProjectStyleLine(std::string_view line, TProjectStyle& style) {
    if (line.starts_with(PicturePrefix)) {
        const std::string_view rest = line.substr(PicturePrefix.size());
        const auto colon = rest.find(':');
        std::size_t number = 0;
        const auto [end, ec] =
            std::from_chars(rest.data(), rest.data() + std::min(colon, rest.size()), number);
        if (colon == std::string_view::npos || ec != std::errc() || end != rest.data() + colon ||
            number < 1 || number > MaxPictureNumber) {
            style.Notes.push_back("Picture style line not understood: " + std::string(line));
            return true;
        }
        style.Numbered.emplace_back(number, ParsePictureStyle(rest.substr(colon + 1)));
        return true;
    }
    if (!line.starts_with(';')) return false;
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    const std::string_view key = line.substr(1, eq - 1);
    if (!IsShowKey(key)) return false;
    const std::string_view value = line.substr(eq + 1);
    TShowStyle probe;
    if (!ApplyStyleSetting(probe, key, value)) {
        style.Notes.push_back("Style value not understood: " + std::string(line));
        return true;
    }
    style.Show.emplace_back(std::string(key), std::string(value));
    return true;
}

void FinishProjectStyle(TProjectStyle& style, std::size_t entryCount) {
    for (auto& [number, picture] : style.Numbered) {
        if (number > entryCount) {
            style.Notes.push_back("Picture style for picture " + std::to_string(number) + " of " +
                                  std::to_string(entryCount) + " left out");
            continue;
        }
        if (style.Pictures.size() < number) style.Pictures.resize(number);
        style.Pictures[number - 1] = std::move(picture);
    }
    style.Numbered.clear();
}

void ApplyProjectStyle(const TProjectStyle& style, TShowStyle& show) {
    for (const auto& [key, value] : style.Show) ApplyStyleSetting(show, key, value);
}

std::string FormatProjectStyle(const TShowLook& look) {
    const auto& pictures = look.Pictures;
    std::string text;
    for (const auto& [key, value] : StyleSettings(look.Show))
        text += ";" + key + "=" + value + "\r\n";
    for (std::size_t i = 0; i < pictures.size(); ++i)
        if (!pictures[i].IsPlain())
            text += std::string(PicturePrefix) + std::to_string(i + 1) + ":" +
                    PictureStyleText(pictures[i]) + "\r\n";
    return text;
}
