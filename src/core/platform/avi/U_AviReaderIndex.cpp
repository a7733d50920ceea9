// Sample tables of the AVI reader: OpenDML indexes (indx -> ix##) when present, else idx1 for
// the first RIFF, else a scan of the movi lists. Index entries that point outside the file make
// the file unreadable; a chunk cut short at the end of a scanned file is left out.
#include <algorithm>

#include "platform/avi/U_AviLayout.h"
#include "platform/avi/U_AviReaderImpl.h"

namespace avi_detail {

using riff::Get16;
using riff::Get32;
using riff::Get64;

int StreamOfChunk(std::uint32_t id) {
    const auto c0 = static_cast<char>(id), c1 = static_cast<char>(id >> 8);
    const auto c2 = static_cast<char>(id >> 16), c3 = static_cast<char>(id >> 24);
    if (c0 < '0' || c0 > '9' || c1 < '0' || c1 > '9') return -1;
    const bool data = (c2 == 'd' && (c3 == 'c' || c3 == 'b')) || (c2 == 'w' && c3 == 'b');
    return data ? (c0 - '0') * 10 + (c1 - '0') : -1;
}

namespace {

constexpr std::size_t kBatchEntries = 4096; // index entries read per system call

class TIndexBuilder {
public:
    TIndexBuilder(const TInFile& file, TAviParse& p) : file_(file), p_(p) {
        // Every sample needs at least a chunk header in the file.
        maxEntries_ = file.Size() / 8 + 16;
    }

    AviResult Add(int stream, std::uint64_t offset, std::uint32_t size, bool key) {
        if (stream < 0 || static_cast<std::size_t>(stream) >= p_.Streams.size()) return AVIERR_OK;
        if (offset > file_.Size() || size > file_.Size() - offset) return AVIERR_BADFORMAT;
        if (++total_ > maxEntries_) return AVIERR_BADFORMAT;
        p_.Streams[static_cast<std::size_t>(stream)].Entries.push_back({offset, size, key});
        return AVIERR_OK;
    }

    void Scan(const TMoviRange& r) {
        std::uint64_t pos = r.Begin;
        std::uint8_t h[8];
        while (pos + 8 <= r.End && file_.ReadAt(pos, h, 8)) {
            const std::uint32_t id = Get32(h), size = Get32(h + 4);
            if (id == kLIST) { // step into 'rec ' groups
                pos += 12;
                continue;
            }
            if (size > r.End - pos - 8) break; // cut short: the writer did not finish it
            // Without an index nothing tells key frames apart; every sample counts as one.
            if (Add(StreamOfChunk(id), pos + 8, size, true) != AVIERR_OK) break;
            pos += 8 + static_cast<std::uint64_t>(size) + (size & 1);
        }
    }

    // AVIERR_NODATA when idx1 is unusable (then the caller scans).
    AviResult Idx1() {
        if (p_.Movi.empty()) return AVIERR_NODATA;
        const std::uint64_t count = p_.Idx1Size / 16;
        std::vector<std::uint8_t> buf;
        std::uint64_t base = 0;
        bool baseKnown = false;
        for (std::uint64_t first = 0; first < count; first += kBatchEntries) {
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(count - first, kBatchEntries));
            buf.resize(n * 16);
            if (!file_.ReadAt(p_.Idx1Pos + first * 16, buf.data(), buf.size()))
                return AVIERR_FILEREAD;
            for (std::size_t k = 0; k < n; ++k) {
                const std::uint8_t* e = buf.data() + k * 16;
                const std::uint32_t id = Get32(e), flags = Get32(e + 4), off = Get32(e + 8);
                const int stream = StreamOfChunk(id);
                if (stream < 0) continue;
                if (!baseKnown) {
                    // Offsets count from the movi fourcc in most files, from the file's start
                    // in some: the first entry tells which by the chunk id found there.
                    const std::uint64_t relative = p_.Movi[0].ListPos + 8;
                    if (ChunkIdAt(relative + off) == id)
                        base = relative;
                    else if (ChunkIdAt(off) == id)
                        base = 0;
                    else
                        return AVIERR_NODATA;
                    baseKnown = true;
                }
                const AviResult r =
                    Add(stream, base + off + 8, Get32(e + 12), (flags & AVIIF_KEYFRAME) != 0);
                if (r != AVIERR_OK) return r;
            }
        }
        return AVIERR_OK;
    }

    // AVIERR_NODATA when the stream has no usable super index.
    AviResult SuperIndex(std::size_t stream) {
        const TReaderStream& s = p_.Streams[stream];
        std::uint8_t h[24];
        if (s.IndxSize < 24 || !file_.ReadAt(s.IndxPos, h, 24)) return AVIERR_NODATA;
        if (Get16(h) != 4 || h[3] != AVI_INDEX_OF_INDEXES) return AVIERR_NODATA;
        const std::uint64_t count = std::min<std::uint64_t>(Get32(h + 4), (s.IndxSize - 24) / 16);
        if (count == 0) return AVIERR_NODATA;
        std::vector<std::uint8_t> buf(static_cast<std::size_t>(count) * 16);
        if (!file_.ReadAt(s.IndxPos + 24, buf.data(), buf.size())) return AVIERR_FILEREAD;
        for (std::size_t k = 0; k < count; ++k) {
            const AviResult r = StandardIndex(static_cast<int>(stream), Get64(buf.data() + k * 16));
            if (r != AVIERR_OK) return r;
        }
        return AVIERR_OK;
    }

private:
    std::uint32_t ChunkIdAt(std::uint64_t pos) const {
        std::uint8_t b[4];
        if (pos > file_.Size() || file_.Size() - pos < 8 || !file_.ReadAt(pos, b, 4)) return 0;
        return Get32(b);
    }

    AviResult StandardIndex(int stream, std::uint64_t pos) {
        std::uint8_t h[32];
        if (pos > file_.Size() || file_.Size() - pos < 32) return AVIERR_BADFORMAT;
        if (!file_.ReadAt(pos, h, 32)) return AVIERR_FILEREAD;
        if (Get16(h + 8) != 2 || h[11] != AVI_INDEX_OF_CHUNKS) return AVIERR_BADFORMAT;
        const std::uint64_t avail = std::min<std::uint64_t>(Get32(h + 4), file_.Size() - pos - 8);
        if (avail < 24) return AVIERR_BADFORMAT;
        const std::uint64_t count = std::min<std::uint64_t>(Get32(h + 12), (avail - 24) / 8);
        const std::uint64_t base = Get64(h + 20);
        if (base > file_.Size()) return AVIERR_BADFORMAT;
        std::vector<std::uint8_t> buf;
        for (std::uint64_t first = 0; first < count; first += kBatchEntries) {
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(count - first, kBatchEntries));
            buf.resize(n * 8);
            if (!file_.ReadAt(pos + 32 + first * 8, buf.data(), buf.size())) return AVIERR_FILEREAD;
            for (std::size_t k = 0; k < n; ++k) {
                const std::uint32_t size = Get32(buf.data() + k * 8 + 4);
                const AviResult r = Add(stream, base + Get32(buf.data() + k * 8), size & ~kNotKey,
                                        (size & kNotKey) == 0);
                if (r != AVIERR_OK) return r;
            }
        }
        return AVIERR_OK;
    }

    const TInFile& file_;
    TAviParse& p_;
    std::uint64_t total_ = 0, maxEntries_ = 0;
};

void Finish(TReaderStream& s) {
    const bool audio = s.Info.fccType == streamtypeAUDIO;
    if (s.Info.dwSampleSize != 0) {
        std::int64_t next = 0;
        s.FirstSample.reserve(s.Entries.size());
        for (const auto& e : s.Entries) {
            s.FirstSample.push_back(next);
            next += e.Size / s.Info.dwSampleSize;
        }
        s.Length = next;
    } else {
        s.Length = static_cast<std::int64_t>(s.Entries.size());
    }
    s.Length = std::min<std::int64_t>(s.Length, INT32_MAX);
    if (s.Info.dwSampleSize == 0) {
        for (std::size_t i = 0; i < static_cast<std::size_t>(s.Length); ++i)
            if (audio || s.Entries[i].Key) s.Keys.push_back(static_cast<std::int32_t>(i));
    }
}

void ClearTables(TAviParse& p) {
    for (auto& s : p.Streams) s.Entries.clear();
}

} // namespace

AviResult LoadIndexes(const TInFile& file, TAviParse& p) {
    TIndexBuilder b(file, p);
    bool done = false;
    for (std::size_t i = 0; i < p.Streams.size(); ++i) {
        const AviResult r = b.SuperIndex(i);
        if (r == AVIERR_NODATA) continue;
        if (r != AVIERR_OK) return r;
        done = true;
    }
    if (!done) {
        ClearTables(p);
        TIndexBuilder idx(file, p);
        std::size_t scanFrom = 0;
        if (p.HaveIdx1) {
            const AviResult r = idx.Idx1();
            if (r == AVIERR_OK)
                scanFrom = 1; // idx1 covers the first RIFF only
            else if (r != AVIERR_NODATA)
                return r;
            else
                ClearTables(p);
        }
        TIndexBuilder scan(file, p);
        for (std::size_t m = scanFrom; m < p.Movi.size(); ++m) scan.Scan(p.Movi[m]);
    }
    for (auto& s : p.Streams) Finish(s);
    return AVIERR_OK;
}

} // namespace avi_detail
