#include "lang/U_Storefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>

namespace {

constexpr std::size_t CacheBytes = 64 * 1024;
// Smallest record: forward length, key and backward length around an empty payload.
constexpr std::int64_t MinRecordBytes = 12;

void PutInt32(std::uint8_t* out, std::int32_t value) {
    const auto u = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(u >> (8 * i));
}

std::int32_t GetInt32(const std::uint8_t* in) {
    std::uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= std::uint32_t{in[i]} << (8 * i);
    return static_cast<std::int32_t>(u);
}

bool WriteAllAt(int fd, const std::uint8_t* data, std::size_t size, std::int64_t offset) {
    while (size > 0) {
        const ssize_t done = ::pwrite(fd, data, size, offset);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
        data += done;
        size -= static_cast<std::size_t>(done);
        offset += done;
    }
    return true;
}

} // namespace

TStorefile::~TStorefile() {
    Close();
}

bool TStorefile::Open() {
    Close();
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path path(Filename);
    if (Filename.empty()) return false;
    if (fs::exists(path, ec)) {
        readOnly_ = ReadOnly;
        int fd = ::open(Filename.c_str(), (ReadOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC);
        if (fd < 0) {
            fd = ::open(Filename.c_str(), O_RDONLY | O_CLOEXEC);
            readOnly_ = true;
        }
        if (fd < 0) return false;
        fd_ = fd;
        struct stat info {};
        if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
            Forget();
            return false;
        }
        end_ = info.st_size;
        // Nothing is written before the signature and the count have been read.
        std::string found(Signature.size(), '\0');
        std::int32_t count = 0;
        if ((!Signature.empty() && !ReadAt(0, found.data(), found.size())) || found != Signature ||
            !ReadInt32At(static_cast<std::int64_t>(Signature.size()), count)) {
            Forget();
            return false;
        }
        count_ = count;
        first_ = static_cast<std::int64_t>(Signature.size()) + 4;
        position_ = first_;
        index_ = 0;
        return true;
    }
    if (path.has_parent_path()) fs::create_directories(path.parent_path(), ec);
    const int fd = ::open(Filename.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    fd_ = fd;
    readOnly_ = ReadOnly;
    std::vector<std::uint8_t> header(Signature.begin(), Signature.end());
    header.resize(header.size() + 4, 0);
    if (!WriteAllAt(fd_, header.data(), header.size(), 0)) {
        Forget();
        return false;
    }
    count_ = 0;
    first_ = end_ = position_ = static_cast<std::int64_t>(header.size());
    index_ = 0;
    return true;
}

void TStorefile::Close() {
    if (!IsOpen()) return;
    if (!readOnly_) {
        std::uint8_t bytes[4];
        PutInt32(bytes, count_);
        (void)WriteAllAt(fd_, bytes, 4, static_cast<std::int64_t>(first_ - 4));
    }
    Forget();
}

void TStorefile::Forget() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    readOnly_ = false;
    damaged_ = false;
    count_ = 0;
    first_ = position_ = end_ = 0;
    index_ = 0;
    cache_.clear();
}

bool TStorefile::ReadAt(std::int64_t offset, void* buffer, std::size_t size) {
    if (offset < 0 || offset > end_ || static_cast<std::int64_t>(size) > end_ - offset)
        return false;
    auto* out = static_cast<std::uint8_t*>(buffer);
    if (size <= CacheBytes) {
        const bool cached = !cache_.empty() && offset >= cacheStart_ &&
                            offset + static_cast<std::int64_t>(size) <=
                                cacheStart_ + static_cast<std::int64_t>(cache_.size());
        if (!cached) {
            cache_.resize(
                static_cast<std::size_t>(std::min<std::int64_t>(CacheBytes, end_ - offset)));
            std::size_t got = 0;
            while (got < cache_.size()) {
                const ssize_t n = ::pread(fd_, cache_.data() + got, cache_.size() - got,
                                          offset + static_cast<std::int64_t>(got));
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) break;
                got += static_cast<std::size_t>(n);
            }
            cache_.resize(got);
            cacheStart_ = offset;
            if (got < size) return false;
        }
        std::memcpy(out, cache_.data() + (offset - cacheStart_), size);
        return true;
    }
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n =
            ::pread(fd_, out + got, size - got, offset + static_cast<std::int64_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

bool TStorefile::ReadInt32At(std::int64_t offset, std::int32_t& value) {
    std::uint8_t bytes[4];
    if (!ReadAt(offset, bytes, 4)) return false;
    value = GetInt32(bytes);
    return true;
}

void TStorefile::MarkDamaged() {
    damaged_ = true;
    position_ = end_;
}

bool TStorefile::RecordSpans(std::int64_t start, std::int64_t end) {
    std::int32_t forward = 0;
    std::int32_t backward = 0;
    return start >= first_ && end <= end_ && end - start >= MinRecordBytes &&
           ReadInt32At(start, forward) && ReadInt32At(end - 4, backward) &&
           std::int64_t{forward} + 4 == end - start && std::int64_t{backward} == end - start;
}

bool TStorefile::RecordAtPosition(THeader& header) {
    if (AtEnd()) return false;
    std::uint8_t bytes[8];
    if (!ReadAt(position_, bytes, 8)) {
        MarkDamaged();
        return false;
    }
    header.Forward = GetInt32(bytes);
    header.Key = GetInt32(bytes + 4);
    if (header.Forward < 8 || !RecordSpans(position_, position_ + header.Forward + 4)) {
        MarkDamaged();
        return false;
    }
    return true;
}

void TStorefile::First() {
    if (!IsOpen()) return;
    position_ = first_;
    index_ = 0;
}

void TStorefile::Last() {
    if (!IsOpen() || count_ <= 0) return;
    std::int32_t backward = 0;
    if (!ReadInt32At(end_ - 4, backward) || !RecordSpans(end_ - backward, end_)) {
        MarkDamaged();
        return;
    }
    position_ = end_ - backward;
    index_ = count_ - 1;
}

bool TStorefile::Next() {
    THeader header;
    if (!RecordAtPosition(header)) return false;
    position_ += std::int64_t{header.Forward} + 4;
    ++index_;
    return true;
}

bool TStorefile::Prior() {
    if (!IsOpen() || index_ <= 0 || position_ <= first_) return false;
    std::int32_t backward = 0;
    if (!ReadInt32At(position_ - 4, backward) || !RecordSpans(position_ - backward, position_)) {
        MarkDamaged();
        return false;
    }
    position_ -= backward;
    --index_;
    return true;
}

void TStorefile::SeekRecord(std::int32_t k) {
    if (!IsOpen() || k < 0 || k >= count_) return;
    const std::int64_t fromHere = std::abs(std::int64_t{k} - index_);
    const std::int64_t fromLast = std::int64_t{count_} - 1 - k;
    if (k < fromHere && k <= fromLast) {
        First();
    } else if (fromLast < fromHere) {
        Last();
        if (index_ != count_ - 1) return;
    }
    while (index_ < k)
        if (!Next()) return;
    while (index_ > k)
        if (!Prior()) return;
}

template <class Fill> std::int32_t TStorefile::ReadPayload(Fill fill, bool advance) {
    THeader header;
    if (!RecordAtPosition(header)) {
        fill(0, nullptr);
        return 0;
    }
    const std::int32_t n = header.Forward - 8;
    if (!fill(n, this)) {
        MarkDamaged();
        return 0;
    }
    if (advance) {
        position_ += std::int64_t{n} + MinRecordBytes;
        ++index_;
    }
    return header.Key;
}

std::int32_t TStorefile::ReadRecord(void* buffer, std::int32_t& size, bool advance) {
    return ReadPayload(
        [&](std::int32_t n, TStorefile* self) {
            if (self == nullptr) {
                size = 0;
                return true;
            }
            if (size < 0 || size > n) size = n;
            return size == 0 || self->ReadAt(position_ + 8, buffer, static_cast<std::size_t>(size));
        },
        advance);
}

std::int32_t TStorefile::ReadString(std::string& text, bool advance) {
    return ReadPayload(
        [&](std::int32_t n, TStorefile* self) {
            text.assign(self == nullptr ? 0 : static_cast<std::size_t>(n), '\0');
            return self == nullptr || n == 0 ||
                   self->ReadAt(position_ + 8, text.data(), text.size());
        },
        advance);
}

std::int32_t TStorefile::ReadBytes(std::vector<std::uint8_t>& bytes, bool advance) {
    return ReadPayload(
        [&](std::int32_t n, TStorefile* self) {
            bytes.assign(self == nullptr ? 0 : static_cast<std::size_t>(n), 0);
            return self == nullptr || n == 0 ||
                   self->ReadAt(position_ + 8, bytes.data(), bytes.size());
        },
        advance);
}

std::int32_t TStorefile::ReadInteger(std::int32_t& value, bool advance) {
    std::uint8_t bytes[4];
    PutInt32(bytes, value);
    std::int32_t size = 4;
    const std::int32_t key = ReadRecord(bytes, size, advance);
    value = GetInt32(bytes);
    return key;
}

std::int32_t TStorefile::PeekSize() {
    THeader header;
    return RecordAtPosition(header) ? header.Forward - 8 : 0;
}

std::int32_t TStorefile::AppendRecord(std::int32_t key, const void* data, std::int32_t size) {
    if (IsOpen() ? readOnly_ : ReadOnly) throw EStorefileReadOnly();
    if (!IsOpen() || damaged_ || position_ != end_ || size < 0 ||
        size > std::numeric_limits<std::int32_t>::max() - 12 ||
        count_ == std::numeric_limits<std::int32_t>::max())
        return 0;
    std::vector<std::uint8_t> record(static_cast<std::size_t>(size) + 12);
    PutInt32(record.data(), size + 8);
    PutInt32(record.data() + 4, key);
    if (size > 0) std::memcpy(record.data() + 8, data, static_cast<std::size_t>(size));
    PutInt32(record.data() + 8 + size, size + 12);
    cache_.clear();
    if (!WriteAllAt(fd_, record.data(), record.size(), end_)) {
        const int err = errno;
        if (::ftruncate(fd_, end_) != 0) MarkDamaged();
        throw EMorvantaError("Cannot write " + Filename + ": " + SystemErrorText(err));
    }
    end_ += static_cast<std::int64_t>(record.size());
    position_ = end_;
    ++count_;
    ++index_;
    return count_;
}

std::int32_t TStorefile::AppendString(std::int32_t key, std::string_view text) {
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return 0;
    return AppendRecord(key, text.data(), static_cast<std::int32_t>(text.size()));
}

std::int32_t TStorefile::AppendInteger(std::int32_t key, std::int32_t value) {
    std::uint8_t bytes[4];
    PutInt32(bytes, value);
    return AppendRecord(key, bytes, 4);
}

void TStorefile::Clear() {
    if (IsOpen() ? readOnly_ : ReadOnly) throw EStorefileReadOnly();
    if (IsOpen()) {
        Forget();
        ::unlink(Filename.c_str());
        Open();
    } else {
        ::unlink(Filename.c_str());
    }
}
