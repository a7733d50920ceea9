// RIFF AVI writer: AVI 1.0 headers and idx1 in the first RIFF, OpenDML AVIX RIFFs with ix##
// standard indexes and an indx super index per stream past the segment limit.
//
// Crash safety: the headers go to disk before the first sample, with RIFF and movi sizes of 0
// ("up to the end of the file"), and every chunk is written straight to the file. A file whose
// writer died has no idx1; readers then scan movi, which holds every complete chunk.
#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "platform/avi/U_AviFile.h"
#include "platform/avi/U_AviLayout.h"
#include "platform/avi/U_RiffChunk.h"
#include "platform/base/U_Limits.h"

using namespace avi_detail;
using riff::TMemSink;
using riff::TRiffChunk;

namespace {

constexpr std::uint64_t kMaxRiffBytes = 0xFFFFFF00ull; // a RIFF size must fit its 32-bit field
constexpr std::uint64_t kMinSegment = 4096;
constexpr std::size_t kMaxSampleSize = 0x7FFFFFFF; // ix## entries keep the key flag in bit 31

bool IsUncompressedHandler(std::uint32_t h) {
    return h == 0 || h == MakeFourCC('D', 'I', 'B', ' ') || h == MakeFourCC('R', 'G', 'B', ' ') ||
           h == MakeFourCC('R', 'A', 'W', ' ');
}

std::uint32_t ChunkId(std::size_t stream, char a, char b) {
    return MakeFourCC(static_cast<char>('0' + stream / 10), static_cast<char>('0' + stream % 10), a,
                      b);
}

} // namespace

struct TAviWriter::Impl final : riff::TSink {
    int fd = -1;
    std::uint64_t pos = 0;
    AviResult error = AVIERR_OK;
    int lastErrno = 0;
    TAviWriterOptions options;
    std::vector<TWriterStream> streams;
    bool headerWritten = false;
    std::size_t headerBlockSize = 0;
    std::optional<TRiffChunk> riffChunk, moviChunk;
    int segment = 0;
    std::uint64_t firstMoviPos = 0, segBase = 0;
    std::uint32_t segChunks = 0;
    std::vector<TIdx1Entry> idx1;
    std::uint64_t totalBytes = 0;

    ~Impl() override {
        if (fd >= 0) ::close(fd);
    }

    std::uint64_t Pos() const override { return pos; }
    void Append(const void* data, std::size_t size) override {
        WriteAt(pos, data, size);
        pos += size;
    }
    void Patch32(std::uint64_t offset, std::uint32_t value) override {
        std::uint8_t b[4];
        riff::Put32(b, value);
        WriteAt(offset, b, 4);
    }

    void Fail(AviResult code) {
        if (error != AVIERR_OK) return;
        error = code;
        lastErrno = errno != 0 ? errno : EIO;
    }

    void WriteAt(std::uint64_t offset, const void* data, std::size_t size) {
        iovec v{const_cast<void*>(data), size};
        WriteVec(offset, &v, 1);
    }

    // One system call per chunk in the usual case, so a killed writer leaves whole chunks.
    void WriteVec(std::uint64_t offset, iovec* v, int count) {
        if (error != AVIERR_OK) return;
        while (count > 0) {
            if (v->iov_len == 0) {
                ++v;
                --count;
                continue;
            }
            errno = 0;
            const ssize_t n = ::pwritev(fd, v, count, static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return Fail(AVIERR_FILEWRITE);
            offset += static_cast<std::uint64_t>(n);
            auto left = static_cast<std::size_t>(n);
            while (count > 0 && left >= v->iov_len) {
                left -= v->iov_len;
                ++v;
                --count;
            }
            if (count > 0) {
                v->iov_base = static_cast<std::uint8_t*>(v->iov_base) + left;
                v->iov_len -= left;
            }
        }
    }

    TWriterTotals Totals(bool final) const {
        TWriterTotals t;
        t.Final = final;
        double seconds = 0;
        for (const auto& s : streams) {
            if (s.Info.dwRate != 0)
                seconds = std::max(seconds,
                                   static_cast<double>(s.Length) * s.Info.dwScale / s.Info.dwRate);
        }
        if (seconds > 0)
            t.MaxBytesPerSec = static_cast<std::uint32_t>(
                std::min(4294967295.0, static_cast<double>(totalBytes) / seconds + 0.999));
        return t;
    }

    void WriteHeaderBlock(bool final) {
        const std::vector<std::uint8_t> block = BuildHeaderBlock(streams, Totals(final));
        if (headerWritten && block.size() != headerBlockSize) return Fail(AVIERR_ERROR);
        headerBlockSize = block.size();
        WriteAt(12, block.data(), block.size());
    }

    AviResult StartFile() {
        if (streams.empty()) return AVIERR_ERROR;
        for (const auto& s : streams)
            if (s.Format.empty()) return AVIERR_BADFORMAT;
        riffChunk.emplace(*this, kRIFF, kAVI);
        WriteHeaderBlock(false);
        pos = 12 + headerBlockSize;
        headerWritten = true;
        moviChunk.emplace(*this, kLIST, kMovi);
        firstMoviPos = segBase = moviChunk->Start();
        return error;
    }

    // Index bytes the current RIFF still needs when it is closed, with one more chunk.
    std::uint64_t PendingIndexBytes(std::size_t withStream) const {
        std::uint64_t n = 0;
        for (std::size_t i = 0; i < streams.size(); ++i) {
            const std::size_t entries = streams[i].Seg.size() + (i == withStream ? 1 : 0);
            if (entries > 0) n += 32 + 8 * entries;
        }
        if (segment == 0) n += 8 + 16 * (idx1.size() + 1);
        return n;
    }

    void CloseSegment() {
        for (auto& s : streams) {
            if (s.Seg.empty()) continue;
            TMemSink m;
            BuildStandardIndex(m, s, segBase);
            s.Super.push_back({pos, static_cast<std::uint32_t>(m.Bytes().size()), s.SegDuration});
            Append(m.Bytes().data(), m.Bytes().size());
            s.Seg.clear();
            s.SegDuration = 0;
        }
        moviChunk->Finish();
        if (segment == 0) {
            TMemSink m;
            BuildIdx1(m, idx1);
            Append(m.Bytes().data(), m.Bytes().size());
            idx1.clear();
            idx1.shrink_to_fit();
        }
        riffChunk->Finish();
    }

    void StartSegment() {
        ++segment;
        segChunks = 0;
        riffChunk.emplace(*this, kRIFF, kAVIX);
        moviChunk.emplace(*this, kLIST, kMovi);
        segBase = moviChunk->Start();
    }

    AviResult WriteChunk(std::size_t index, const void* data, std::uint32_t size, bool key,
                         std::uint32_t samples) {
        TWriterStream& s = streams[index];
        const std::uint64_t need = 8 + size + (size & 1);
        std::uint64_t riffBytes = pos - riffChunk->Start() + need + PendingIndexBytes(index);
        const bool canSplit = std::all_of(streams.begin(), streams.end(), [](const auto& x) {
            return x.Super.size() < kSuperIndexEntries;
        });
        if (segChunks > 0 && riffBytes > options.SegmentLimit && canSplit) {
            CloseSegment();
            StartSegment();
            if (error != AVIERR_OK) return error;
            riffBytes = pos - riffChunk->Start() + need + PendingIndexBytes(index);
        }
        if (riffBytes > kMaxRiffBytes) return AVIERR_BADSIZE;

        std::uint8_t head[8];
        riff::Put32(head, s.ChunkId);
        riff::Put32(head + 4, size);
        std::uint8_t pad = 0;
        iovec v[3] = {{head, 8}, {const_cast<void*>(data), size}, {&pad, size & 1u}};
        const std::uint64_t at = pos;
        WriteVec(at, v, 3);
        if (error != AVIERR_OK) return error;
        pos += need;

        if (segment == 0) {
            idx1.push_back({s.ChunkId, key ? AVIIF_KEYFRAME : 0u,
                            static_cast<std::uint32_t>(at - (firstMoviPos + 8)), size});
            ++s.FirstRiffChunks;
        }
        s.Seg.push_back(
            {static_cast<std::uint32_t>(at + 8 - segBase), size | (key ? 0u : kNotKey)});
        s.SegDuration += samples;
        s.Largest = std::max(s.Largest, size);
        totalBytes += size;
        ++segChunks;
        return AVIERR_OK;
    }
};

TAviWriter::TAviWriter() : impl_(std::make_unique<Impl>()) {}

TAviWriter::~TAviWriter() {
    Close();
}

bool TAviWriter::IsOpen() const {
    return impl_->fd >= 0;
}

int TAviWriter::LastErrno() const {
    return impl_->lastErrno;
}

AviResult TAviWriter::Create(const std::string& path, bool exclusive, TAviWriterOptions options) {
    Close();
    impl_ = std::make_unique<Impl>();
    if (options.SegmentLimit < kMinSegment || options.SegmentLimit > kMaxRiffBytes)
        return AVIERR_ERROR;
    impl_->options = options;
    const int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (exclusive ? O_EXCL : 0);
    errno = 0;
    impl_->fd = ::open(path.c_str(), flags, 0666);
    if (impl_->fd < 0) {
        impl_->lastErrno = errno;
        return AVIERR_FILEOPEN;
    }
    return AVIERR_OK;
}

AviResult TAviWriter::CreateStream(const AVISTREAMINFO& info, int& stream) {
    Impl& w = *impl_;
    if (w.fd < 0 || w.headerWritten || w.streams.size() >= kMaxWriterStreams) return AVIERR_ERROR;
    if (info.dwScale == 0 || info.dwRate == 0) return AVIERR_BADFORMAT;
    const std::size_t n = w.streams.size();
    TWriterStream s;
    s.Info = info;
    if (info.fccType == streamtypeVIDEO) {
        s.ChunkId =
            IsUncompressedHandler(info.fccHandler) ? ChunkId(n, 'd', 'b') : ChunkId(n, 'd', 'c');
    } else if (info.fccType == streamtypeAUDIO) {
        s.ChunkId = ChunkId(n, 'w', 'b');
    } else {
        return AVIERR_BADFORMAT;
    }
    s.IndexId =
        MakeFourCC('i', 'x', static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10));
    w.streams.push_back(std::move(s));
    stream = static_cast<int>(n);
    return AVIERR_OK;
}

AviResult TAviWriter::SetFormat(int stream, const void* format, std::size_t size) {
    Impl& w = *impl_;
    if (w.fd < 0 || stream < 0 || static_cast<std::size_t>(stream) >= w.streams.size())
        return AVIERR_ERROR;
    if (format == nullptr || size == 0 || size > MaxAviFormatBytes) return AVIERR_BADSIZE;
    auto& f = w.streams[static_cast<std::size_t>(stream)].Format;
    // Once the headers are on disk their room is fixed: only a same-sized format can replace one.
    if (w.headerWritten && f.size() != size) return AVIERR_ERROR;
    const auto* p = static_cast<const std::uint8_t*>(format);
    f.assign(p, p + size);
    if (w.headerWritten) w.WriteHeaderBlock(false);
    return w.error;
}

AviResult TAviWriter::Write(int stream, std::int32_t position, const void* data, std::size_t size,
                            std::uint32_t flags) {
    Impl& w = *impl_;
    if (w.fd < 0 || stream < 0 || static_cast<std::size_t>(stream) >= w.streams.size())
        return AVIERR_ERROR;
    if (w.error != AVIERR_OK) return w.error;
    if (size > kMaxSampleSize || (size > 0 && data == nullptr)) return AVIERR_BADSIZE;
    if (!w.headerWritten) {
        if (const AviResult r = w.StartFile(); r != AVIERR_OK) return r;
    }
    const auto index = static_cast<std::size_t>(stream);
    TWriterStream& s = w.streams[index];
    const bool key = (flags & AVIIF_KEYFRAME) != 0;
    const auto size32 = static_cast<std::uint32_t>(size);

    if (s.Info.dwSampleSize != 0) {
        // Fixed-size samples (PCM): positions count samples, one chunk holds several.
        if ((position >= 0 && position != s.Length) || size % s.Info.dwSampleSize != 0)
            return AVIERR_BADSIZE;
        const std::uint32_t samples = size32 / s.Info.dwSampleSize;
        if (const AviResult r = w.WriteChunk(index, data, size32, true, samples); r != AVIERR_OK)
            return r;
        s.Length += samples;
        return AVIERR_OK;
    }
    if (position < 0) position = static_cast<std::int32_t>(s.Length);
    if (position < s.Length) return AVIERR_ERROR; // samples are only appended
    // Positions skipped over become empty samples, as the classic library leaves them.
    while (s.Length < position) {
        if (const AviResult r = w.WriteChunk(index, nullptr, 0, false, 1); r != AVIERR_OK) return r;
        ++s.Length;
    }
    if (const AviResult r = w.WriteChunk(index, data, size32, key, 1); r != AVIERR_OK) return r;
    ++s.Length;
    return AVIERR_OK;
}

AviResult TAviWriter::Close() {
    Impl& w = *impl_;
    if (w.fd < 0) return AVIERR_OK;
    AviResult result = AVIERR_OK;
    if (w.error == AVIERR_OK && !w.headerWritten) result = w.StartFile();
    if (w.error == AVIERR_OK && w.headerWritten) {
        w.CloseSegment();
        w.WriteHeaderBlock(true);
    }
    errno = 0;
    if (::close(w.fd) != 0) w.Fail(AVIERR_FILEWRITE);
    w.fd = -1;
    return w.error != AVIERR_OK ? w.error : result;
}
