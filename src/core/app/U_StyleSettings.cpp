#include "app/U_StyleSettings.h"

#include <algorithm>

#include "platform/os/U_Settings.h"

TShowStyle ShowStyleFrom(const std::function<std::string(const std::string&)>& read) {
    TShowStyle style;
    for (const std::string_view key : StyleSettingNames()) {
        const std::string name(key);
        const std::string value = read(name);
        // A bad value is the user's or another version's: it is left out, never fatal.
        if (!value.empty()) ApplyStyleSetting(style, name, value);
    }
    return style;
}

std::vector<std::pair<std::string, std::string>> ShowStyleValues(const TShowStyle& style) {
    const auto set = StyleSettings(style);
    std::vector<std::pair<std::string, std::string>> values;
    for (const std::string_view key : StyleSettingNames()) {
        const std::string name(key);
        const auto found = std::find_if(set.begin(), set.end(),
                                        [&](const auto& pair) { return pair.first == name; });
        values.emplace_back(name, found == set.end() ? std::string() : found->second);
    }
    return values;
}

TShowStyle ReadShowStyleSetting() {
    return ShowStyleFrom([](const std::string& name) { return ReadSetting(name); });
}

bool WriteShowStyleSetting(const TShowStyle& style) {
    bool written = true;
    for (const auto& [name, value] : ShowStyleValues(style))
        // A plain choice clears what an earlier session stored.
        if (ReadSetting(name) != value) written = WriteSetting(name, value) && written;
    return written;
}
