#include "lang/U_VersionInfo.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "lang/U_LanguageTable.h"

std::uint32_t PackVersion(std::string_view text) {
    std::uint32_t groups[5] = {};
    int group = 0;
    for (std::size_t i = 0; i < text.size() && group < 5; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9')
            groups[group] = groups[group] * 10 + static_cast<unsigned>(c - '0');
        // Wrapping modulo 2^32 keeps every residue the packing takes (256, 64 and 1024 divide it).
        if (c == '.' || c == ',' || i + 1 == text.size()) ++group;
    }
    return (groups[0] % 256) << 24 | (groups[1] % 256) << 16 | (groups[2] % 64) << 10 |
           (groups[3] % 1024);
}

std::string PackedVersionText(std::uint32_t packed) {
    return std::to_string(packed >> 24) + "." + std::to_string((packed >> 16) & 0xFF) + "." +
           std::to_string((packed >> 10) & 0x3F) + "." + std::to_string(packed & 0x3FF);
}

std::string GetFileVersionText(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return "File not found";
    const std::optional<TVersionBlock> block = ReadVersionBlock(path);
    if (!block) return "Unable to retrieve file version info";
    const TFixedFileInfo& f = block->Fixed;
    return std::to_string(f.FileVersionMS >> 16) + "." + std::to_string(f.FileVersionMS & 0xFFFF) +
           "." + std::to_string(f.FileVersionLS >> 16) + "." +
           std::to_string(f.FileVersionLS & 0xFFFF);
}

std::string RunningExecutablePath() {
    std::error_code ec;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : path.string();
}

void TVersionInfo::LoadFromModule() {
    SetFileName(RunningExecutablePath());
}

void TVersionInfo::SetFileName(const std::string& name) {
    std::error_code ec;
    if (name.empty() || !std::filesystem::is_regular_file(name, ec)) return;
    fileName_ = name;
    loaded_ = false;
    block_.reset();
}

void TVersionInfo::Load() {
    if (loaded_) return;
    loaded_ = true;
    if (fileName_.empty()) return;
    block_ = ReadVersionBlock(fileName_);
    // Without a translation table nothing is taken, as with a resource that lacks one.
    if (block_ && block_->Translations.empty()) block_.reset();
}

std::string TVersionInfo::Str(std::string_view key) {
    Load();
    if (!block_) return {};
    const std::uint32_t t = block_->Translations.front();
    char name[16];
    std::snprintf(name, sizeof name, "%.4x%.4x", t & 0xFFFF, t >> 16);
    return block_->Find(name, key);
}

const TFixedFileInfo& TVersionInfo::Fixed() {
    static constexpr TFixedFileInfo Empty{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Load();
    return block_ ? block_->Fixed : Empty;
}

std::uint32_t TVersionInfo::TranslationValue() {
    Load();
    return block_ ? block_->Translations.front() : 0;
}

std::uint32_t TVersionInfo::LanguageCount() {
    Load();
    return block_ ? static_cast<std::uint32_t>(block_->Translations.size()) : 0;
}

std::string TVersionInfo::LanguageName() {
    Load();
    return block_ ? LanguageEnglishName(static_cast<std::uint16_t>(TranslationValue() & 0xFFFF))
                  : std::string();
}

double TVersionInfo::VersionFloat(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    const std::size_t last = text.find_last_not_of(' ');
    if (first == std::string::npos) return 0;
    double value = 0;
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    return ec == std::errc() && ptr == end ? value : 0;
}

std::string TVersionInfo::WithoutParentheses(std::string text) {
    std::erase_if(text, [](char c) { return c == '(' || c == ')'; });
    return text;
}
