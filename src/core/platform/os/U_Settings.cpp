#include "platform/os/U_Settings.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unordered_map>

#include "platform/os/U_FileDescriptor.h"

namespace {

// ---- Text form ----

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

std::string LowerCopy(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = LowerAscii(c);
    return lower;
}

bool IsControl(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

constexpr std::string_view DwordPrefix = "dword:";

void AppendEscaped(std::string& out, std::string_view text, bool isName) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c != '\t' && IsControl(c)) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
            out += hex;
        } else if (isName && (c == '=' || (i == 0 && (c == '[' || c == ';' || c == '#')))) {
            // Would end the name, or make the line read as a section or a comment.
            out += '\\';
            out += c;
        } else if (!isName && i == 0 && text.starts_with(DwordPrefix)) {
            out += "\\d";
        } else {
            out += c;
        }
    }
}

std::string Unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        if (next == 'n') {
            out += '\n';
        } else if (next == 'r') {
            out += '\r';
        } else if (next == 'x' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
                   HexDigit(text[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
        } else {
            out += next;
        }
    }
    return out;
}

std::optional<std::uint32_t> ParseDword(std::string_view digits) {
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : digits) {
        const int d = HexDigit(c);
        if (d < 0) return std::nullopt;
        value = value * 16 + static_cast<std::uint32_t>(d);
    }
    return value;
}

// Splits "name=value" at the first '=' that is not escaped.
std::optional<TSettingsValue> ParseValueLine(std::string_view line) {
    std::size_t eq = std::string_view::npos;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\') {
            ++i;
        } else if (line[i] == '=') {
            eq = i;
            break;
        }
    }
    if (eq == std::string_view::npos) return std::nullopt;
    TSettingsValue value;
    value.Name = Unescape(line.substr(0, eq));
    const std::string_view raw = line.substr(eq + 1);
    if (raw.starts_with(DwordPrefix)) {
        const auto dword = ParseDword(raw.substr(DwordPrefix.size()));
        if (!dword) return std::nullopt;
        value.IsDword = true;
        value.Dword = *dword;
    } else {
        value.Text = Unescape(raw);
    }
    return value;
}

std::string FormatValueLine(const TSettingsValue& value) {
    std::string line;
    AppendEscaped(line, value.Name, true);
    line += '=';
    if (value.IsDword) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%08x", value.Dword);
        line += DwordPrefix;
        line += hex;
    } else {
        AppendEscaped(line, value.Text, false);
    }
    return line;
}

// ---- Files ----

enum class TLoadResult { Loaded, Missing, Failed };

// Reads the whole store file, refusing anything that is not a regular file of bounded size.
TLoadResult LoadFile(const std::string& path, std::string& bytes) {
    TFileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.Get() < 0) return errno == ENOENT ? TLoadResult::Missing : TLoadResult::Failed;
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
        static_cast<std::uint64_t>(info.st_size) > SettingsMaxFileBytes)
        return TLoadResult::Failed;
    bytes.clear();
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return TLoadResult::Failed;
        if (got == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(got));
        if (bytes.size() > SettingsMaxFileBytes) return TLoadResult::Failed; // grew meanwhile
    }
    return TLoadResult::Loaded;
}

// Writes the new contents beside the file and renames them over it, so a reader sees either
// the old file or the new one, never a part.
bool ReplaceFile(const std::string& folder, const std::string& path, std::string_view bytes) {
    std::string temp = path + ".XXXXXX";
    TFileDescriptor fd(::mkstemp(temp.data()));
    if (fd.Get() < 0) return false;
    const bool written = WriteAllBytes(fd.Get(), bytes) && ::fsync(fd.Get()) == 0 && fd.Close() &&
                         ::rename(temp.c_str(), path.c_str()) == 0;
    if (!written) {
        ::unlink(temp.c_str());
        return false;
    }
    TFileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0) ::fsync(dir.Get());
    return true;
}

std::string HiveFile(TSettingsHive hive) {
    return hive == TSettingsHive::Machine ? "machine.ini" : "user.ini";
}

// The store's folder, created when missing; empty when it cannot be had.
std::string EnsureFolder() {
    const std::string folder = SettingsFolder();
    if (folder.empty()) return {};
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!std::filesystem::is_directory(folder, ec)) return {};
    return folder;
}

const TSettingsValue* ReadValue(TSettingsHive hive, const std::string& key, const std::string& name,
                                TSettingsDocument& document) {
    const std::string folder = EnsureFolder();
    if (folder.empty()) return nullptr;
    std::string bytes;
    if (LoadFile(folder + "/" + HiveFile(hive), bytes) != TLoadResult::Loaded) return nullptr;
    document = ParseSettings(bytes);
    return document.Find(key, name);
}

bool WriteValue(TSettingsHive hive, const std::string& key, const TSettingsValue& value) {
    // Nothing is written that a later read would skip.
    if (!IsValidSettingsKey(key) || key.size() + 2 > SettingsMaxLineBytes ||
        FormatValueLine(value).size() > SettingsMaxLineBytes)
        return false;
    const std::string folder = EnsureFolder();
    if (folder.empty()) return false;
    const std::string path = folder + "/" + HiveFile(hive);

    // Held from the read to the rename, so that concurrent writers never lose each other's values.
    TFileDescriptor lock(::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (lock.Get() < 0) return false;
    while (::flock(lock.Get(), LOCK_EX) != 0)
        if (errno != EINTR) return false;

    std::string bytes;
    const TLoadResult loaded = LoadFile(path, bytes);
    if (loaded == TLoadResult::Failed) return false; // never replace what could not be read
    TSettingsDocument document;
    if (loaded == TLoadResult::Loaded) document = ParseSettings(bytes);
    TSettingsValue& slot = document.Put(key, value.Name);
    slot.IsDword = value.IsDword;
    slot.Text = value.Text;
    slot.Dword = value.Dword;
    const std::string text = FormatSettings(document);
    if (text.size() > SettingsMaxFileBytes) return false;
    return ReplaceFile(folder, path, text);
}

} // namespace

const TSettingsValue* TSettingsDocument::Find(std::string_view key, std::string_view name) const {
    for (const auto& section : Sections) {
        if (!EqualsNoCase(section.Key, key)) continue;
        for (const auto& value : section.Values)
            if (EqualsNoCase(value.Name, name)) return &value;
    }
    return nullptr;
}

TSettingsValue& TSettingsDocument::Put(std::string_view key, std::string_view name) {
    TSettingsSection* section = nullptr;
    for (auto& candidate : Sections)
        if (EqualsNoCase(candidate.Key, key)) section = &candidate;
    if (section == nullptr)
        section = &Sections.emplace_back(TSettingsSection{std::string(key), {}});
    for (auto& value : section->Values)
        if (EqualsNoCase(value.Name, name)) return value;
    TSettingsValue& added = section->Values.emplace_back();
    added.Name = std::string(name);
    return added;
}

bool IsValidSettingsKey(std::string_view key) {
    if (key.empty()) return false;
    for (char c : key)
        if (IsControl(c)) return false;
    return true;
}

TSettingsDocument ParseSettings(std::string_view bytes) {
    TSettingsDocument document;
    // Indexes by lower-case spelling keep a large file linear to read.
    std::unordered_map<std::string, std::size_t> sectionIndex;
    std::vector<std::unordered_map<std::string, std::size_t>> valueIndex;
    constexpr std::size_t None = static_cast<std::size_t>(-1);
    std::size_t current = None;

    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.size() > SettingsMaxLineBytes || line.empty() || line[0] == ';' || line[0] == '#')
            continue;

        if (line[0] == '[') {
            current = None;
            if (line.size() < 2 || line.back() != ']') continue;
            const std::string_view key = line.substr(1, line.size() - 2);
            if (!IsValidSettingsKey(key)) continue;
            const auto [it, added] = sectionIndex.emplace(LowerCopy(key), document.Sections.size());
            if (added) {
                document.Sections.push_back(TSettingsSection{std::string(key), {}});
                valueIndex.emplace_back();
            }
            current = it->second;
            continue;
        }

        if (current == None) continue;
        auto value = ParseValueLine(line);
        if (!value) continue;
        auto& values = document.Sections[current].Values;
        const auto [it, added] = valueIndex[current].emplace(LowerCopy(value->Name), values.size());
        if (added)
            values.push_back(std::move(*value));
        else
            values[it->second] = std::move(*value);
    }
    return document;
}

std::string FormatSettings(const TSettingsDocument& document) {
    std::string text;
    for (const auto& section : document.Sections) {
        if (!text.empty()) text += '\n';
        text += '[';
        text += section.Key;
        text += "]\n";
        for (const auto& value : section.Values) {
            text += FormatValueLine(value);
            text += '\n';
        }
    }
    return text;
}

std::string SettingsFolder() {
    if (const char* dir = std::getenv("MORVANTA_CONFIG_DIR"); dir != nullptr && *dir != '\0')
        return dir;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/')
        return std::string(xdg) + "/Morvanta";
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return std::string(home) + "/.config/Morvanta";
    return {};
}

std::optional<std::string> ReadStringValue(TSettingsHive hive, const std::string& key,
                                           const std::string& name) {
    TSettingsDocument document;
    const TSettingsValue* value = ReadValue(hive, key, name, document);
    if (value == nullptr || value->IsDword) return std::nullopt;
    return value->Text;
}

bool WriteStringValue(TSettingsHive hive, const std::string& key, const std::string& name,
                      const std::string& value) {
    TSettingsValue entry;
    entry.Name = name;
    entry.Text = value;
    return WriteValue(hive, key, entry);
}

std::optional<std::uint32_t> ReadDwordValue(TSettingsHive hive, const std::string& key,
                                            const std::string& name) {
    TSettingsDocument document;
    const TSettingsValue* value = ReadValue(hive, key, name, document);
    if (value == nullptr || !value->IsDword) return std::nullopt;
    return value->Dword;
}

bool WriteDwordValue(TSettingsHive hive, const std::string& key, const std::string& name,
                     std::uint32_t value) {
    TSettingsValue entry;
    entry.Name = name;
    entry.IsDword = true;
    entry.Dword = value;
    return WriteValue(hive, key, entry);
}

std::string ReadSetting(const std::string& name) {
    return ReadStringValue(TSettingsHive::Machine, MorvantaKey, name).value_or(std::string());
}

bool WriteSetting(const std::string& name, const std::string& value) {
    return WriteStringValue(TSettingsHive::Machine, MorvantaKey, name, value);
}
