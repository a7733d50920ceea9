#pragma once
// File version information read from the version block of an executable (or of any file
// that carries one), the packed version number of language files, and the version text of
// the main window's caption.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "lang/U_VersionBlock.h"

// Packs "a.b.c.d" as (a mod 256) << 24 | (b mod 256) << 16 | (c mod 64) << 10 | (d mod 1024);
// other characters than digits, "." and "," are skipped, empty groups count 0.
std::uint32_t PackVersion(std::string_view text);
// The four numbers of a packed version joined by ".".
std::string PackedVersionText(std::uint32_t packed);

// "File not found", "Unable to retrieve file version info", or the fixed file version as four
// numbers joined by ".".
std::string GetFileVersionText(const std::string& path);

// The running executable's full path (empty when the system does not say).
std::string RunningExecutablePath();

class TVersionInfo {
public:
    // Examines the running executable.
    void LoadFromModule();

    const std::string& FileName() const { return fileName_; }
    // A name that is not an existing file changes nothing; an existing one clears what was
    // loaded.
    void SetFileName(const std::string& name);
    bool InfoLoaded() const { return loaded_; }

    std::string Comments() { return Str("Comments"); }
    std::string CompanyName() { return Str("CompanyName"); }
    std::string FileDescription() { return Str("FileDescription"); }
    std::string InternalName() { return Str("InternalName"); }
    std::string LegalCopyright() { return Str("LegalCopyright"); }
    std::string LegalTrademark() { return Str("LegalTrademarks"); }
    std::string OriginalFilename() { return Str("OriginalFilename"); }
    std::string ProductName() { return Str("ProductName"); }
    std::string FileVersion() { return WithoutParentheses(Str("FileVersion")); }
    std::string ProductVersion() { return WithoutParentheses(Str("ProductVersion")); }
    std::uint32_t FileVersionInt() { return PackVersion(FileVersion()); }
    double FileVersionFloat() { return VersionFloat(FileVersion()); }
    double ProductVersionFloat() { return VersionFloat(ProductVersion()); }

    std::uint32_t FileMajorVersion() { return Fixed().FileVersionMS; }
    std::uint32_t FileMinorVersion() { return Fixed().FileVersionLS; }
    std::uint32_t ProductMajorVersion() { return Fixed().ProductVersionMS; }
    std::uint32_t ProductMinorVersion() { return Fixed().ProductVersionLS; }
    std::uint32_t FileFlags() { return Fixed().FileFlags; }
    std::uint32_t FileFlagsMask() { return Fixed().FileFlagsMask; }
    std::uint32_t FileOS() { return Fixed().FileOS; }
    std::uint32_t FileType() { return Fixed().FileType; }
    std::uint32_t FileSubtype() { return Fixed().FileSubtype; }
    std::uint64_t FileDate() {
        return (std::uint64_t{Fixed().FileDateMS} << 32) | Fixed().FileDateLS;
    }
    std::uint32_t TranslationValue();
    std::uint32_t LanguageCount();
    std::string LanguageName();

    // "1.5" reads as 1.5; a text that is not one number ("0.1.0.0") reads as 0.
    static double VersionFloat(const std::string& text);
    static std::string WithoutParentheses(std::string text);

private:
    void Load();
    std::string Str(std::string_view key);
    const TFixedFileInfo& Fixed();

    std::string fileName_;
    bool loaded_ = false;
    std::optional<TVersionBlock> block_;
};
