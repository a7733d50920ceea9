#pragma once
// Internals of TAviReader: the file, the parsed headers and the per-stream sample tables.
// Every size read from the file is bounded by the bytes actually there before it is used.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/avi/U_AviFile.h"

namespace avi_detail {

// A read-only file with positioned, exact reads.
class TInFile {
public:
    TInFile() = default;
    ~TInFile();
    TInFile(const TInFile&) = delete;
    TInFile& operator=(const TInFile&) = delete;
    bool Open(const std::string& path);
    std::uint64_t Size() const { return size_; }
    // True when all `n` bytes at `offset` were read.
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t n) const;

private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

struct TSampleEntry {
    std::uint64_t Offset; // of the data in the file
    std::uint32_t Size;
    bool Key;
};

struct TReaderStream {
    AVISTREAMINFO Info;
    std::vector<std::uint8_t> Format;
    std::uint64_t IndxPos = 0, IndxSize = 0; // the strl's indx chunk data, if any
    std::vector<TSampleEntry> Entries;       // one per chunk, in order
    std::vector<std::int64_t> FirstSample;   // fixed-size streams: first sample of each chunk
    std::vector<std::int32_t> Keys;          // positions of key samples, ascending
    std::int64_t Length = 0;
};

// A region of the file holding a movi list's chunks.
struct TMoviRange {
    std::uint64_t ListPos; // of 'LIST'; idx1 offsets count from ListPos + 8
    std::uint64_t Begin, End;
};

struct TAviParse {
    std::uint32_t MicroSecPerFrame = 0, MaxBytesPerSec = 0, Flags = 0, SuggestedBufferSize = 0;
    std::uint32_t Width = 0, Height = 0;
    std::vector<TReaderStream> Streams;
    std::vector<TMoviRange> Movi; // first RIFF's, then each AVIX's
    std::uint64_t Idx1Pos = 0, Idx1Size = 0;
    bool HaveIdx1 = false;
};

// Fills the stream's sample tables from indx/ix##, else idx1 plus a scan of the AVIX RIFFs,
// else a scan of every movi. Returns AVIERR_OK or an error for an index that lies.
AviResult LoadIndexes(const TInFile& file, TAviParse& p);

// The stream number of a data chunk id ("00dc", "01wb"...), or -1.
int StreamOfChunk(std::uint32_t id);

} // namespace avi_detail
