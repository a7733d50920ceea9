#include "lang/U_VersionBlock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/os/U_FileDescriptor.h"

namespace {

// Reads the block's fields in order; any field past the end makes the whole parse fail.
class TCursor {
public:
    explicit TCursor(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    bool U32(std::uint32_t& v) {
        if (bytes_.size() - at_ < 4) return false;
        v = 0;
        for (int i = 0; i < 4; ++i) v |= std::uint32_t{bytes_[at_ + i]} << (8 * i);
        at_ += 4;
        return true;
    }
    bool Text(std::string& s) {
        if (bytes_.size() - at_ < 2) return false;
        const std::size_t n = bytes_[at_] | (std::size_t{bytes_[at_ + 1]} << 8);
        at_ += 2;
        if (bytes_.size() - at_ < n) return false;
        s.assign(reinterpret_cast<const char*>(bytes_.data() + at_), n);
        at_ += n;
        return true;
    }
    // A count can never exceed the bytes left divided by its items' least size.
    bool Count(std::uint32_t& n, std::size_t minItemBytes) {
        return U32(n) && n <= (bytes_.size() - at_) / minItemBytes;
    }
    std::size_t At() const { return at_; }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

struct TVectorOut {
    std::vector<std::uint8_t> Bytes;
    void Put(std::uint8_t b) { Bytes.push_back(b); }
};

std::uint32_t Crc32(std::span<const std::uint8_t> bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::uint8_t b : bytes) crc = Crc32Update(crc, b);
    return ~crc;
}

constexpr std::size_t MinBlockBytes = 16 + 4 + 4 + 13 * 4 + 4 + 4 + 4;

} // namespace

std::string TVersionBlock::Find(std::string_view name, std::string_view key) const {
    for (const TTable& table : Tables) {
        if (table.Name != name) continue;
        for (const auto& [k, v] : table.Strings)
            if (k == key) return v;
    }
    return {};
}

std::vector<std::uint8_t> EncodeVersionBlock(const TVersionBlock& block) {
    std::vector<std::vector<TVersionString>> strings;
    std::vector<TVersionStringTable> tables;
    for (const TVersionBlock::TTable& table : block.Tables) {
        auto& list = strings.emplace_back();
        for (const auto& [k, v] : table.Strings) list.push_back({k, v});
    }
    for (std::size_t i = 0; i < block.Tables.size(); ++i)
        tables.push_back({block.Tables[i].Name, strings[i]});
    const std::size_t size = VersionBlockSize(block.Translations, tables);
    TVectorOut out;
    version_block_detail::Write(out, static_cast<std::uint32_t>(size), block.Fixed,
                                block.Translations, tables);
    const std::uint32_t crc = Crc32(out.Bytes);
    for (int i = 0; i < 4; ++i) out.Put(static_cast<std::uint8_t>(crc >> (8 * i)));
    return out.Bytes;
}

std::optional<TVersionBlock> ParseVersionBlock(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < MinBlockBytes ||
        !std::equal(VersionBlockMarker.begin(), VersionBlockMarker.end(), bytes.begin(),
                    [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; }))
        return std::nullopt;
    TCursor header(bytes.subspan(16));
    std::uint32_t length = 0;
    std::uint32_t format = 0;
    if (!header.U32(length) || !header.U32(format) || format != VersionBlockFormat ||
        length < MinBlockBytes || length > MaxVersionBlockBytes || length > bytes.size())
        return std::nullopt;
    const auto block = bytes.first(length);
    const auto body = block.first(length - 4);
    TCursor crcField(block.subspan(length - 4));
    std::uint32_t crc = 0;
    if (!crcField.U32(crc) || crc != Crc32(body)) return std::nullopt;

    TCursor in(body.subspan(24));
    TVersionBlock result;
    std::uint32_t signature = 0;
    std::uint32_t structVersion = 0;
    TFixedFileInfo& f = result.Fixed;
    bool ok = in.U32(signature) && signature == 0xFEEF04BDu && in.U32(structVersion);
    for (std::uint32_t* field : {&f.FileVersionMS, &f.FileVersionLS, &f.ProductVersionMS,
                                 &f.ProductVersionLS, &f.FileFlagsMask, &f.FileFlags, &f.FileOS,
                                 &f.FileType, &f.FileSubtype, &f.FileDateMS, &f.FileDateLS})
        ok = ok && in.U32(*field);
    std::uint32_t count = 0;
    if (!ok || !in.Count(count, 4)) return std::nullopt;
    result.Translations.resize(count);
    for (std::uint32_t& t : result.Translations)
        if (!in.U32(t)) return std::nullopt;
    if (!in.Count(count, 6)) return std::nullopt;
    for (std::uint32_t i = 0; i < count; ++i) {
        TVersionBlock::TTable& table = result.Tables.emplace_back();
        std::uint32_t strings = 0;
        if (!in.Text(table.Name) || !in.Count(strings, 4)) return std::nullopt;
        for (std::uint32_t j = 0; j < strings; ++j) {
            auto& [key, value] = table.Strings.emplace_back();
            if (!in.Text(key) || !in.Text(value)) return std::nullopt;
        }
    }
    if (in.At() != body.size() - 24) return std::nullopt;
    return result;
}

std::optional<TVersionBlock> ReadVersionBlock(const std::string& path) {
    constexpr std::size_t ChunkBytes = 1 << 20;
    constexpr int MaxCandidates = 64;
    const TFileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0) return std::nullopt;
    // Each chunk keeps the marker's length minus one of the previous one, so a marker that
    // straddles two reads is still seen.
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0) return std::nullopt;
    // Small files need no more than their own size.
    const std::size_t chunk =
        static_cast<std::size_t>(std::min<off_t>(ChunkBytes, std::max<off_t>(info.st_size, 1)));
    std::vector<std::uint8_t> buffer(chunk + VersionBlockMarker.size());
    std::size_t kept = 0;
    off_t chunkOffset = 0; // file offset of buffer[0]
    int candidates = 0;
    for (;;) {
        const ssize_t n = ::pread(file.Get(), buffer.data() + kept, chunk,
                                  chunkOffset + static_cast<off_t>(kept));
        if (n <= 0) return std::nullopt;
        const std::size_t filled = kept + static_cast<std::size_t>(n);
        auto from = buffer.begin();
        const auto end = buffer.begin() + static_cast<std::ptrdiff_t>(filled);
        for (;;) {
            from = std::search(
                from, end, VersionBlockMarker.begin(), VersionBlockMarker.end(),
                [](std::uint8_t b, char c) { return b == static_cast<std::uint8_t>(c); });
            if (from == end) break;
            if (++candidates > MaxCandidates) return std::nullopt;
            const off_t at = chunkOffset + (from - buffer.begin());
            std::vector<std::uint8_t> block(MaxVersionBlockBytes);
            const ssize_t got = ::pread(file.Get(), block.data(), block.size(), at);
            if (got > 0) {
                block.resize(static_cast<std::size_t>(got));
                if (auto parsed = ParseVersionBlock(block)) return parsed;
            }
            ++from;
        }
        kept = std::min(filled, VersionBlockMarker.size() - 1);
        std::memmove(buffer.data(), buffer.data() + filled - kept, kept);
        chunkOffset += static_cast<off_t>(filled - kept);
    }
}
