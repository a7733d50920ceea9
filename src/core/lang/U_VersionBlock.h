#pragma once
// The version block our executables carry in place of a file version resource: a marker, the
// block's length, a fixed file information part, the translation entries, string tables named
// after a translation ("040904b0"), and a CRC-32 of everything before it. The encoder is
// constexpr, so the build makes each executable's block at compile time.
//
// Layout (integers little-endian):
//   marker (16) | u32 total length | u32 format (1) | 13 x u32 fixed info
//   | u32 n, n x u32 translations | u32 t, t x (u16 name, name, u32 s, s x (u16 key, key,
//   u16 value, value)) | u32 CRC-32 of all preceding bytes
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The reader's own copy of the marker lies in every executable too, so a marker alone proves
// nothing: a block counts only when its length, fields and CRC agree.
inline constexpr std::array<char, 16> VersionBlockMarker = {
    'M', 'R', 'V', '-', 'V', 'E', 'R', 'S', 'I', 'O', 'N', '-', 'B', 'L', 'K', '\x01'};
inline constexpr std::uint32_t VersionBlockFormat = 1;
// Our blocks are a few hundred bytes; larger claims are refused without reading them.
inline constexpr std::size_t MaxVersionBlockBytes = 8 * 1024;

struct TFixedFileInfo {
    std::uint32_t FileVersionMS = 0, FileVersionLS = 0;
    std::uint32_t ProductVersionMS = 0, ProductVersionLS = 0;
    std::uint32_t FileFlagsMask = 0x3F, FileFlags = 0, FileOS = 0, FileType = 1, FileSubtype = 0;
    std::uint32_t FileDateMS = 0, FileDateLS = 0;
};

struct TVersionString {
    std::string_view Key;
    std::string_view Value;
};

struct TVersionStringTable {
    std::string_view Name;
    std::span<const TVersionString> Strings;
};

// A parsed block (owns its texts).
struct TVersionBlock {
    TFixedFileInfo Fixed;
    std::vector<std::uint32_t> Translations;
    struct TTable {
        std::string Name;
        std::vector<std::pair<std::string, std::string>> Strings;
    };
    std::vector<TTable> Tables;
    // The string `key` of table `name`; empty when absent.
    std::string Find(std::string_view name, std::string_view key) const;
};

constexpr std::uint32_t Crc32Update(std::uint32_t crc, std::uint8_t byte) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    return crc;
}

namespace version_block_detail {

// Writes the block through `out.Put(byte)`; used once to count and once to fill.
template <class Out>
constexpr void Write(Out& out, std::uint32_t length, const TFixedFileInfo& fixed,
                     std::span<const std::uint32_t> translations,
                     std::span<const TVersionStringTable> tables) {
    auto u32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out.Put(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    auto text = [&](std::string_view s) {
        out.Put(static_cast<std::uint8_t>(s.size()));
        out.Put(static_cast<std::uint8_t>(s.size() >> 8));
        for (char c : s) out.Put(static_cast<std::uint8_t>(c));
    };
    for (char c : VersionBlockMarker) out.Put(static_cast<std::uint8_t>(c));
    u32(length);
    u32(VersionBlockFormat);
    u32(0xFEEF04BDu); // dwSignature
    u32(0x00010000u); // dwStrucVersion
    for (std::uint32_t v :
         {fixed.FileVersionMS, fixed.FileVersionLS, fixed.ProductVersionMS, fixed.ProductVersionLS,
          fixed.FileFlagsMask, fixed.FileFlags, fixed.FileOS, fixed.FileType, fixed.FileSubtype,
          fixed.FileDateMS, fixed.FileDateLS})
        u32(v);
    u32(static_cast<std::uint32_t>(translations.size()));
    for (std::uint32_t t : translations) u32(t);
    u32(static_cast<std::uint32_t>(tables.size()));
    for (const TVersionStringTable& table : tables) {
        text(table.Name);
        u32(static_cast<std::uint32_t>(table.Strings.size()));
        for (const TVersionString& s : table.Strings) {
            text(s.Key);
            text(s.Value);
        }
    }
}

struct TCounter {
    std::size_t Size = 0;
    constexpr void Put(std::uint8_t) { ++Size; }
};

template <std::size_t N> struct TFiller {
    std::array<std::uint8_t, N> Bytes{};
    std::size_t At = 0;
    std::uint32_t Crc = 0xFFFFFFFFu;
    constexpr void Put(std::uint8_t b) {
        if (At < N) Bytes[At++] = b;
        Crc = Crc32Update(Crc, b);
    }
};

} // namespace version_block_detail

// Size of the whole block, CRC included.
constexpr std::size_t VersionBlockSize(std::span<const std::uint32_t> translations,
                                       std::span<const TVersionStringTable> tables) {
    version_block_detail::TCounter counter;
    version_block_detail::Write(counter, 0, TFixedFileInfo{}, translations, tables);
    return counter.Size + 4;
}

template <std::size_t N>
constexpr std::array<std::uint8_t, N>
EncodeVersionBlock(const TFixedFileInfo& fixed, std::span<const std::uint32_t> translations,
                   std::span<const TVersionStringTable> tables) {
    version_block_detail::TFiller<N> filler;
    version_block_detail::Write(filler, static_cast<std::uint32_t>(N), fixed, translations, tables);
    const std::uint32_t crc = ~filler.Crc;
    for (int i = 0; i < 4; ++i) filler.Put(static_cast<std::uint8_t>(crc >> (8 * i)));
    return filler.Bytes;
}

// The same at run time (tests, fuzzing).
std::vector<std::uint8_t> EncodeVersionBlock(const TVersionBlock& block);

// Parses a block that starts at bytes[0]; nothing unless the marker, the length, the format,
// every field and the CRC agree. Never reads outside `bytes`.
std::optional<TVersionBlock> ParseVersionBlock(std::span<const std::uint8_t> bytes);

// Finds the first valid block in a file. Only a bounded number of marker copies is tried, so
// a file full of markers costs no more than a scan.
std::optional<TVersionBlock> ReadVersionBlock(const std::string& path);
