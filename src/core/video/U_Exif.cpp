#include "video/U_Exif.h"

#include <cstddef>
#include <cstring>

namespace {

constexpr std::uint8_t MarkerPrefix = 0xFF;
constexpr std::uint8_t SOI = 0xD8;
constexpr std::uint8_t EOI = 0xD9;
constexpr std::uint8_t SOS = 0xDA;
constexpr std::uint8_t APP1 = 0xE1;
constexpr std::uint8_t TEM = 0x01;

constexpr std::uint16_t OrientationTag = 0x0112;
constexpr std::uint16_t TypeShort = 3;
constexpr std::size_t IfdEntryBytes = 12;

// A marker without a length field: TEM and RST0 .. RST7.
bool IsStandalone(std::uint8_t marker) {
    return marker == TEM || (marker >= 0xD0 && marker <= 0xD7);
}

class TTiffReader {
public:
    TTiffReader(std::span<const std::uint8_t> bytes, bool bigEndian)
        : bytes_(bytes), bigEndian_(bigEndian) {}

    bool Has(std::size_t at, std::size_t count) const {
        return at <= bytes_.size() && count <= bytes_.size() - at;
    }
    std::uint16_t U16(std::size_t at) const {
        const unsigned a = bytes_[at], b = bytes_[at + 1];
        return static_cast<std::uint16_t>(bigEndian_ ? (a << 8 | b) : (b << 8 | a));
    }
    std::uint32_t U32(std::size_t at) const {
        const std::uint32_t hi = U16(at), lo = U16(at + 2);
        return bigEndian_ ? (hi << 16 | lo) : (lo << 16 | hi);
    }

private:
    std::span<const std::uint8_t> bytes_;
    bool bigEndian_;
};

} // namespace

std::span<const std::uint8_t> FindExifBlock(std::span<const std::uint8_t> jpeg) {
    static constexpr std::uint8_t ExifId[] = {'E', 'x', 'i', 'f', 0};
    if (jpeg.size() < 4 || jpeg[0] != MarkerPrefix || jpeg[1] != SOI) return {};
    std::size_t at = 2;
    // Every step moves forward by at least one byte, so the walk ends within the file.
    while (at + 1 < jpeg.size()) {
        if (jpeg[at] != MarkerPrefix) return {}; // not a marker where one must be
        const std::uint8_t marker = jpeg[at + 1];
        if (marker == MarkerPrefix) { // fill byte
            ++at;
            continue;
        }
        at += 2;
        if (marker == SOS || marker == EOI) return {};
        if (IsStandalone(marker)) continue;
        if (at + 2 > jpeg.size()) return {};
        const std::size_t length = static_cast<std::size_t>(jpeg[at]) << 8 | jpeg[at + 1];
        if (length < 2 || length > jpeg.size() - at) return {};
        const std::span<const std::uint8_t> payload = jpeg.subspan(at + 2, length - 2);
        // The sixth byte of the identifier should be 0 too; some writers put 0xFF there.
        if (marker == APP1 && payload.size() > sizeof ExifId &&
            std::memcmp(payload.data(), ExifId, sizeof ExifId) == 0)
            return payload.subspan(sizeof ExifId + 1);
        at += length;
    }
    return {};
}

int ExifOrientation(std::span<const std::uint8_t> tiff) {
    if (tiff.size() < 8) return ExifUpright;
    bool bigEndian;
    if (tiff[0] == 'I' && tiff[1] == 'I')
        bigEndian = false;
    else if (tiff[0] == 'M' && tiff[1] == 'M')
        bigEndian = true;
    else
        return ExifUpright;
    const TTiffReader tiffData(tiff, bigEndian);
    if (tiffData.U16(2) != 42) return ExifUpright;
    const std::size_t ifd = tiffData.U32(4);
    if (!tiffData.Has(ifd, 2)) return ExifUpright;
    // Only the entries that are actually there are looked at, whatever the count claims.
    const std::size_t claimed = tiffData.U16(ifd);
    const std::size_t present = (tiff.size() - ifd - 2) / IfdEntryBytes;
    const std::size_t count = claimed < present ? claimed : present;
    // IFD0 only: the orientation lives there, so no offset chain is ever followed.
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = ifd + 2 + i * IfdEntryBytes;
        if (tiffData.U16(entry) != OrientationTag) continue;
        if (tiffData.U16(entry + 2) != TypeShort || tiffData.U32(entry + 4) < 1) return ExifUpright;
        // A single SHORT sits in the first two bytes of the value field.
        const int value = tiffData.U16(entry + 8);
        return value >= 1 && value <= 8 ? value : ExifUpright;
    }
    return ExifUpright;
}

int JpegOrientation(std::span<const std::uint8_t> jpeg) {
    return ExifOrientation(FindExifBlock(jpeg));
}
