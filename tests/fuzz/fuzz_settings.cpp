// The settings store's file text: parse, write back, parse again. Parsing never throws by
// contract, so here any exception is a finding too; and what was written must read back as the
// same document (a value that does not survive a save would be lost on the next write).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/os/U_Settings.h"

namespace {

bool SameDocument(const TSettingsDocument& a, const TSettingsDocument& b) {
    if (a.Sections.size() != b.Sections.size()) return false;
    for (std::size_t i = 0; i < a.Sections.size(); ++i) {
        const TSettingsSection& x = a.Sections[i];
        const TSettingsSection& y = b.Sections[i];
        if (x.Key != y.Key || x.Values.size() != y.Values.size()) return false;
        for (std::size_t j = 0; j < x.Values.size(); ++j) {
            const TSettingsValue& v = x.Values[j];
            const TSettingsValue& w = y.Values[j];
            if (v.Name != w.Name || v.IsDword != w.IsDword) return false;
            if (v.IsDword ? v.Dword != w.Dword : v.Text != w.Text) return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    TSettingsDocument document = ParseSettings(bytes);
    const std::string text = FormatSettings(document);
    const TSettingsDocument again = ParseSettings(text);
    if (!SameDocument(document, again)) __builtin_trap();
    if (FormatSettings(again) != text) __builtin_trap();
    for (const TSettingsSection& section : document.Sections) {
        (void)IsValidSettingsKey(section.Key);
        for (const TSettingsValue& value : section.Values)
            if (document.Find(section.Key, value.Name) == nullptr) __builtin_trap();
    }
    // Put on an existing or new key must leave a value that Find sees.
    document.Put("SOFTWARE\\Fuzz", "Name").Text = "x";
    if (document.Find("software\\fuzz", "NAME") == nullptr) __builtin_trap();
    return 0;
}
