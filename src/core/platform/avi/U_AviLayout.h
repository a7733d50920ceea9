#pragma once
// Chunk ids, flags and the writer's per-stream bookkeeping of the AVI layout, shared by the
// writer and its header builder.
#include <cstdint>
#include <vector>

#include "platform/avi/U_AviFile.h"
#include "platform/avi/U_RiffChunk.h"

namespace avi_detail {

constexpr std::uint32_t kRIFF = MakeFourCC('R', 'I', 'F', 'F');
constexpr std::uint32_t kLIST = MakeFourCC('L', 'I', 'S', 'T');
constexpr std::uint32_t kAVI = MakeFourCC('A', 'V', 'I', ' ');
constexpr std::uint32_t kAVIX = MakeFourCC('A', 'V', 'I', 'X');
constexpr std::uint32_t kHdrl = MakeFourCC('h', 'd', 'r', 'l');
constexpr std::uint32_t kAvih = MakeFourCC('a', 'v', 'i', 'h');
constexpr std::uint32_t kStrl = MakeFourCC('s', 't', 'r', 'l');
constexpr std::uint32_t kStrh = MakeFourCC('s', 't', 'r', 'h');
constexpr std::uint32_t kStrf = MakeFourCC('s', 't', 'r', 'f');
constexpr std::uint32_t kStrn = MakeFourCC('s', 't', 'r', 'n');
constexpr std::uint32_t kIndx = MakeFourCC('i', 'n', 'd', 'x');
constexpr std::uint32_t kOdml = MakeFourCC('o', 'd', 'm', 'l');
constexpr std::uint32_t kDmlh = MakeFourCC('d', 'm', 'l', 'h');
constexpr std::uint32_t kJunk = MakeFourCC('J', 'U', 'N', 'K');
constexpr std::uint32_t kMovi = MakeFourCC('m', 'o', 'v', 'i');
constexpr std::uint32_t kIdx1 = MakeFourCC('i', 'd', 'x', '1');

constexpr std::uint32_t AVIF_HASINDEX = 0x10;
constexpr std::uint8_t AVI_INDEX_OF_INDEXES = 0;
constexpr std::uint8_t AVI_INDEX_OF_CHUNKS = 1;
constexpr std::uint32_t kNotKey = 0x80000000u; // ix## entry size bit: not a key frame

// Room in each stream's super index: at the default 1 GiB segment limit, 256 GiB of file.
constexpr std::uint32_t kSuperIndexEntries = 256;
constexpr std::size_t kMaxWriterStreams = 100; // chunk ids carry two decimal digits
constexpr std::uint64_t kHeaderAlign = 2048;   // movi starts on this boundary (JUNK pads)
constexpr std::uint32_t kDmlhSize = 248;

struct TStdIndexEntry {
    std::uint32_t Offset; // of the data, from the segment's base
    std::uint32_t Size;   // bit 31 set when not a key frame
};
struct TSuperIndexEntry {
    std::uint64_t Offset; // of the ix## chunk
    std::uint32_t Size;   // of the ix## chunk with its header
    std::uint32_t Duration;
};
struct TIdx1Entry {
    std::uint32_t ChunkId, Flags, Offset, Size;
};

struct TWriterStream {
    AVISTREAMINFO Info;
    std::vector<std::uint8_t> Format;
    std::uint32_t ChunkId = 0, IndexId = 0;
    std::int64_t Length = 0; // samples written
    std::uint32_t Largest = 0;
    std::uint32_t FirstRiffChunks = 0;
    std::vector<TStdIndexEntry> Seg; // entries of the current RIFF
    std::uint32_t SegDuration = 0;
    std::vector<TSuperIndexEntry> Super;
};

struct TWriterTotals {
    bool Final = false; // Close: indexes written, counts complete
    std::uint32_t MaxBytesPerSec = 0;
};

// LIST hdrl (avih, strl per stream, odml) followed by JUNK up to the movi list; its size
// depends only on the streams' formats and names, so Close rewrites it in place.
std::vector<std::uint8_t> BuildHeaderBlock(const std::vector<TWriterStream>& streams,
                                           const TWriterTotals& totals);
void BuildStandardIndex(riff::TMemSink& m, const TWriterStream& s, std::uint64_t base);
void BuildIdx1(riff::TMemSink& m, const std::vector<TIdx1Entry>& entries);

} // namespace avi_detail
