// RIFF AVI reader: the RIFF/AVIX chain, hdrl headers, and positional sample access.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <new>

#include "platform/avi/U_AviLayout.h"
#include "platform/avi/U_AviReaderImpl.h"

using namespace avi_detail;
using riff::Get16;
using riff::Get32;

namespace avi_detail {

TInFile::~TInFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool TInFile::Open(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    size_ = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool TInFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t n) const {
    if (offset > size_ || n > size_ - offset) return false;
    auto* p = static_cast<std::uint8_t*>(buffer);
    while (n > 0) {
        const ssize_t got = ::pread(fd_, p, n, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        p += got;
        n -= static_cast<std::size_t>(got);
        offset += static_cast<std::uint64_t>(got);
    }
    return true;
}

} // namespace avi_detail

namespace {

struct TChunkHead {
    std::uint32_t Id = 0, Size = 0, ListType = 0;
};

// The chunk at `pos` inside [pos, end): false when its header does not fit.
bool ReadHead(const TInFile& f, std::uint64_t pos, std::uint64_t end, TChunkHead& h) {
    std::uint8_t b[12] = {};
    if (pos + 8 > end || !f.ReadAt(pos, b, std::min<std::uint64_t>(12, end - pos))) return false;
    h.Id = Get32(b);
    h.Size = Get32(b + 4);
    h.ListType = Get32(b + 8);
    return true;
}

std::uint64_t Next(std::uint64_t pos, std::uint32_t size) {
    return pos + 8 + size + (size & 1);
}

// Reads a fixed-layout header chunk into a zero-filled buffer of `want` bytes.
bool ReadFixed(const TInFile& f, std::uint64_t data, std::uint32_t size, std::uint8_t* buf,
               std::size_t want) {
    std::memset(buf, 0, want);
    return f.ReadAt(data, buf, std::min<std::size_t>(want, size));
}

AviResult ParseStrl(const TInFile& f, std::uint64_t pos, std::uint64_t end, TAviParse& p) {
    TReaderStream s;
    bool haveStrh = false;
    TChunkHead h;
    for (; ReadHead(f, pos, end, h); pos = Next(pos, h.Size)) {
        const std::uint64_t data = pos + 8;
        if (h.Size > end - data) return AVIERR_BADFORMAT;
        if (h.Id == kStrh) {
            std::uint8_t b[56];
            if (h.Size < 48 || !ReadFixed(f, data, h.Size, b, sizeof b)) return AVIERR_BADFORMAT;
            AVISTREAMINFO& i = s.Info;
            i.fccType = Get32(b);
            i.fccHandler = Get32(b + 4);
            i.dwFlags = Get32(b + 8);
            i.wPriority = Get16(b + 12);
            i.wLanguage = Get16(b + 14);
            i.dwInitialFrames = Get32(b + 16);
            i.dwScale = Get32(b + 20);
            i.dwRate = Get32(b + 24);
            i.dwStart = Get32(b + 28);
            i.dwLength = Get32(b + 32);
            i.dwSuggestedBufferSize = Get32(b + 36);
            i.dwQuality = Get32(b + 40);
            i.dwSampleSize = Get32(b + 44);
            i.rcFrame = {
                static_cast<std::int16_t>(Get16(b + 48)), static_cast<std::int16_t>(Get16(b + 50)),
                static_cast<std::int16_t>(Get16(b + 52)), static_cast<std::int16_t>(Get16(b + 54))};
            haveStrh = true;
        } else if (h.Id == kStrf) {
            s.Format.resize(h.Size); // bounded by the bytes left in hdrl
            if (!f.ReadAt(data, s.Format.data(), h.Size)) return AVIERR_FILEREAD;
        } else if (h.Id == kStrn) {
            char name[sizeof s.Info.szName] = {};
            if (!f.ReadAt(data, name, std::min<std::size_t>(h.Size, sizeof name - 1)))
                return AVIERR_FILEREAD;
            std::memcpy(s.Info.szName, name, sizeof name);
        } else if (h.Id == kIndx) {
            s.IndxPos = data;
            s.IndxSize = h.Size;
        }
    }
    if (!haveStrh) return AVIERR_BADFORMAT;
    if (p.Streams.size() < kMaxWriterStreams) p.Streams.push_back(std::move(s));
    return AVIERR_OK;
}

AviResult ParseHdrl(const TInFile& f, std::uint64_t pos, std::uint64_t end, TAviParse& p) {
    TChunkHead h;
    bool haveAvih = false;
    for (; ReadHead(f, pos, end, h); pos = Next(pos, h.Size)) {
        const std::uint64_t data = pos + 8;
        if (h.Size > end - data) return AVIERR_BADFORMAT;
        if (h.Id == kAvih) {
            std::uint8_t b[56];
            if (h.Size < 40 || !ReadFixed(f, data, h.Size, b, sizeof b)) return AVIERR_BADFORMAT;
            p.MicroSecPerFrame = Get32(b);
            p.MaxBytesPerSec = Get32(b + 4);
            p.Flags = Get32(b + 12);
            p.SuggestedBufferSize = Get32(b + 28);
            p.Width = Get32(b + 32);
            p.Height = Get32(b + 36);
            haveAvih = true;
        } else if (h.Id == kLIST && h.Size >= 4 && h.ListType == kStrl) {
            if (const AviResult r = ParseStrl(f, data + 4, data + h.Size, p); r != AVIERR_OK)
                return r;
        }
    }
    return haveAvih && !p.Streams.empty() ? AVIERR_OK : AVIERR_BADFORMAT;
}

// The movi list inside one RIFF's [pos, end).
void FindMovi(const TInFile& f, std::uint64_t pos, std::uint64_t end, bool first, TAviParse& p) {
    TChunkHead h;
    for (; ReadHead(f, pos, end, h); pos = Next(pos, h.Size)) {
        const std::uint64_t data = pos + 8;
        // A size of 0 is what a writer that never finished leaves: the list runs to the end.
        const bool open = h.Size == 0 || h.Size > end - data;
        if (h.Id == kLIST && h.ListType == kMovi && end - data >= 4) {
            p.Movi.push_back({pos, data + 4, open ? end : data + h.Size});
        } else if (h.Id == kIdx1 && first && !p.HaveIdx1) {
            p.HaveIdx1 = true;
            p.Idx1Pos = data;
            p.Idx1Size = std::min<std::uint64_t>(h.Size, end - data);
        }
        if (open) return;
    }
}

AviResult Parse(const TInFile& f, TAviParse& p) {
    const std::uint64_t size = f.Size();
    TChunkHead h;
    if (!ReadHead(f, 0, size, h) || size < 12 || h.Id != kRIFF || h.ListType != kAVI)
        return AVIERR_BADFORMAT;
    const bool riffOpen = h.Size == 0 || h.Size > size - 8;
    const std::uint64_t riffEnd = riffOpen ? size : 8 + static_cast<std::uint64_t>(h.Size);

    bool haveHdrl = false;
    std::uint64_t pos = 12;
    for (; ReadHead(f, pos, riffEnd, h); pos = Next(pos, h.Size)) {
        const std::uint64_t data = pos + 8;
        if (h.Id == kLIST && h.ListType == kHdrl && !haveHdrl) {
            if (h.Size < 4 || h.Size > riffEnd - data) return AVIERR_BADFORMAT;
            if (const AviResult r = ParseHdrl(f, data + 4, data + h.Size, p); r != AVIERR_OK)
                return r;
            haveHdrl = true;
        } else if (h.Id == kLIST && h.ListType == kMovi) {
            FindMovi(f, pos, riffEnd, true, p); // the movi list and the idx1 after it
            break;
        }
        if (h.Size > riffEnd - data) break;
    }
    if (!haveHdrl) return AVIERR_BADFORMAT;

    // OpenDML: further RIFF 'AVIX' lists follow the first, each with its own movi.
    for (pos = riffOpen ? size : riffEnd + (riffEnd & 1); ReadHead(f, pos, size, h);) {
        if (h.Id != kRIFF || h.ListType != kAVIX) break;
        const bool open = h.Size == 0 || h.Size > size - pos - 8;
        const std::uint64_t end = open ? size : pos + 8 + h.Size;
        FindMovi(f, pos + 12, end, false, p);
        if (open) break;
        pos = Next(pos, h.Size);
    }
    return AVIERR_OK;
}

} // namespace

struct TAviReader::Impl {
    TInFile File;
    TAviParse Parse;
    bool Open = false;

    const TReaderStream* Stream(int stream) const {
        if (!Open || stream < 0 || static_cast<std::size_t>(stream) >= Parse.Streams.size())
            return nullptr;
        return &Parse.Streams[static_cast<std::size_t>(stream)];
    }
};

TAviReader::TAviReader() : impl_(std::make_unique<Impl>()) {}

TAviReader::~TAviReader() = default;

AviResult TAviReader::Open(const std::string& path) {
    impl_ = std::make_unique<Impl>();
    if (!impl_->File.Open(path)) return AVIERR_FILEOPEN;
    AviResult r = AVIERR_OK;
    try {
        r = ::Parse(impl_->File, impl_->Parse);
        if (r == AVIERR_OK) r = LoadIndexes(impl_->File, impl_->Parse);
    } catch (const std::bad_alloc&) {
        r = AVIERR_MEMORY; // the tables are bounded by the file's size, but that may be large
    }
    if (r != AVIERR_OK) {
        impl_ = std::make_unique<Impl>();
        return r;
    }
    impl_->Open = true;
    return AVIERR_OK;
}

void TAviReader::Close() {
    impl_ = std::make_unique<Impl>();
}

AviResult TAviReader::Info(AVIFILEINFO& info) const {
    if (!impl_->Open) return AVIERR_ERROR;
    const TAviParse& p = impl_->Parse;
    info = AVIFILEINFO{};
    info.dwMaxBytesPerSec = p.MaxBytesPerSec;
    info.dwFlags = p.Flags;
    info.dwCaps = 1; // AVIFILECAPS_CANREAD
    info.dwStreams = static_cast<std::uint32_t>(p.Streams.size());
    info.dwSuggestedBufferSize = p.SuggestedBufferSize;
    info.dwWidth = p.Width;
    info.dwHeight = p.Height;
    // The file's time base is its frame period; a file without one takes its first stream's.
    std::uint64_t scale = p.MicroSecPerFrame, rate = 1000000;
    if (scale == 0) {
        scale = p.Streams[0].Info.dwScale;
        rate = p.Streams[0].Info.dwRate;
    }
    info.dwScale = static_cast<std::uint32_t>(scale);
    info.dwRate = static_cast<std::uint32_t>(rate);
    // Length of the longest stream in those units, rounded up: for a video-only file written
    // by this writer, its number of frames.
    long double longest = 0;
    for (const auto& s : p.Streams) {
        if (s.Info.dwRate == 0 || scale == 0) continue;
        const long double units = static_cast<long double>(s.Length) * s.Info.dwScale * rate /
                                  (static_cast<long double>(s.Info.dwRate) * scale);
        longest = std::max(longest, units);
    }
    const long double rounded = std::ceil(longest - 1e-6L);
    info.dwLength = static_cast<std::uint32_t>(std::min<long double>(rounded, INT32_MAX));
    std::strcpy(info.szFileType, "AVI");
    return AVIERR_OK;
}

AviResult TAviReader::GetStream(std::uint32_t fccType, int index, int& stream) const {
    if (!impl_->Open) return AVIERR_ERROR;
    const auto& streams = impl_->Parse.Streams;
    for (std::size_t i = 0; i < streams.size(); ++i) {
        if (fccType != 0 && streams[i].Info.fccType != fccType) continue;
        if (index-- == 0) {
            stream = static_cast<int>(i);
            return AVIERR_OK;
        }
    }
    return AVIERR_NODATA;
}

AviResult TAviReader::StreamInfo(int stream, AVISTREAMINFO& info) const {
    const TReaderStream* s = impl_->Stream(stream);
    if (s == nullptr) return AVIERR_ERROR;
    info = s->Info;
    // What the file holds, not what its header claims (a killed writer leaves 0 there).
    info.dwLength = static_cast<std::uint32_t>(s->Length);
    return AVIERR_OK;
}

AviResult TAviReader::ReadFormat(int stream, std::vector<std::uint8_t>& format) const {
    const TReaderStream* s = impl_->Stream(stream);
    if (s == nullptr) return AVIERR_ERROR;
    format = s->Format;
    return s->Format.empty() ? AVIERR_NODATA : AVIERR_OK;
}

std::int32_t TAviReader::StreamLength(int stream) const {
    const TReaderStream* s = impl_->Stream(stream);
    return s == nullptr ? 0 : static_cast<std::int32_t>(s->Length);
}

namespace {

// The file range of the sample at `position`.
AviResult Locate(const TReaderStream& s, std::int32_t position, std::uint64_t& offset,
                 std::uint32_t& size) {
    if (position < 0 || position >= s.Length) return AVIERR_NODATA;
    const auto pos = static_cast<std::size_t>(position);
    if (s.Info.dwSampleSize == 0) {
        offset = s.Entries[pos].Offset;
        size = s.Entries[pos].Size;
        return AVIERR_OK;
    }
    // Fixed-size samples: find the chunk holding this one.
    const auto it = std::upper_bound(s.FirstSample.begin(), s.FirstSample.end(), position);
    const auto chunk = static_cast<std::size_t>(it - s.FirstSample.begin()) - 1;
    offset = s.Entries[chunk].Offset +
             static_cast<std::uint64_t>(position - s.FirstSample[chunk]) * s.Info.dwSampleSize;
    size = s.Info.dwSampleSize;
    return AVIERR_OK;
}

} // namespace

AviResult TAviReader::SampleSize(int stream, std::int32_t position, std::uint32_t& size) const {
    const TReaderStream* s = impl_->Stream(stream);
    if (s == nullptr) return AVIERR_ERROR;
    std::uint64_t offset = 0;
    return Locate(*s, position, offset, size);
}

AviResult TAviReader::Read(int stream, std::int32_t position, void* buffer, std::size_t capacity,
                           std::uint32_t& bytesRead) const {
    bytesRead = 0;
    const TReaderStream* s = impl_->Stream(stream);
    if (s == nullptr) return AVIERR_ERROR;
    std::uint64_t offset = 0;
    std::uint32_t size = 0;
    if (const AviResult r = Locate(*s, position, offset, size); r != AVIERR_OK) return r;
    if (buffer == nullptr) { // a size query
        bytesRead = size;
        return AVIERR_OK;
    }
    if (capacity < size) return AVIERR_BUFFERTOOSMALL;
    if (!impl_->File.ReadAt(offset, buffer, size)) return AVIERR_FILEREAD;
    bytesRead = size;
    return AVIERR_OK;
}

bool TAviReader::IsKeyFrame(int stream, std::int32_t position) const {
    return FindKeySample(stream, position) == position && position >= 0;
}

std::int32_t TAviReader::FindKeySample(int stream, std::int32_t position) const {
    const TReaderStream* s = impl_->Stream(stream);
    if (s == nullptr || position < 0 || s->Length == 0) return -1;
    position = static_cast<std::int32_t>(std::min<std::int64_t>(position, s->Length - 1));
    if (s->Info.dwSampleSize != 0) return position; // every PCM sample starts a block
    const auto it = std::upper_bound(s->Keys.begin(), s->Keys.end(), position);
    return it == s->Keys.begin() ? -1 : *(it - 1);
}
