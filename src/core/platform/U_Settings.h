#pragma once
// The settings store: two INI-style text files, machine and user, one [KEY\PATH] section per
// key, in $MORVANTA_CONFIG_DIR when set, else $XDG_CONFIG_HOME/Morvanta/. Key paths and value
// names are compared without regard to case. A lock file is held across each read-modify-write
// and the file is replaced atomically.
#include <cstdint>
#include <optional>
#include <string>

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
