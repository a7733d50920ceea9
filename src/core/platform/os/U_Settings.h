#pragma once
// The settings store: two INI-style text files, machine and user, one [KEY\PATH] section per
// key, in $MORVANTA_CONFIG_DIR when set, else $XDG_CONFIG_HOME/Morvanta/. Key paths and value
// names are compared without regard to case. A lock file is held across each read-modify-write
// and the file is replaced atomically.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/U_Limits.h"

enum class TSettingsHive { Machine, User };

// The program's own key.
inline constexpr const char* MorvantaKey = "SOFTWARE\\Tavrell\\Morvanta";

std::optional<std::string> ReadStringValue(TSettingsHive hive, const std::string& key,
                                           const std::string& name);
bool WriteStringValue(TSettingsHive hive, const std::string& key, const std::string& name,
                      const std::string& value);
std::optional<std::uint32_t> ReadDwordValue(TSettingsHive hive, const std::string& key,
                                            const std::string& name);
bool WriteDwordValue(TSettingsHive hive, const std::string& key, const std::string& name,
                     std::uint32_t value);

// String values of the program's key on the machine hive; empty text when absent or unreadable.
std::string ReadSetting(const std::string& name);
// Returns false when the store cannot be written.
bool WriteSetting(const std::string& name, const std::string& value);

// The store's folder as the environment names it; empty when none can be named.
std::string SettingsFolder();

// ---- The text form of one store file (used by the store, and open to fuzzing) ----

// A value line is "name=text", or "name=dword:0000002a" for a DWORD. Backslashes, line breaks,
// other control characters and "=" in names are escaped with a backslash; a string value that
// would read as a DWORD is written with its first letter escaped ("\dword:...").
struct TSettingsValue {
    std::string Name;
    bool IsDword = false;
    std::string Text;
    std::uint32_t Dword = 0;
};

struct TSettingsSection {
    std::string Key;
    std::vector<TSettingsValue> Values;
};

class TSettingsDocument {
public:
    std::vector<TSettingsSection> Sections;

    const TSettingsValue* Find(std::string_view key, std::string_view name) const;
    // The value named `name` under `key`, created with these spellings when missing.
    TSettingsValue& Put(std::string_view key, std::string_view name);
};

// Files above this size are refused: reads see nothing, writes fail rather than lose them.
inline constexpr std::size_t SettingsMaxFileBytes = MaxSettingsFileBytes;
// Longer lines are skipped when read; a value that would need one is refused when written.
inline constexpr std::size_t SettingsMaxLineBytes = MaxSettingsLineBytes;

// Never throws for any input: garbage lines are skipped, repeated sections are merged, and a
// later value overrides an earlier one of the same name.
TSettingsDocument ParseSettings(std::string_view bytes);
std::string FormatSettings(const TSettingsDocument& document);
// Whether a key path can be stored: not empty and without control characters.
bool IsValidSettingsKey(std::string_view key);
