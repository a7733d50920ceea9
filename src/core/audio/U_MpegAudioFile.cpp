#include "audio/U_MpegAudioFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "audio/U_MP3Header.h"
#include "platform/base/U_Errors.h"
#include "platform/base/U_Rounding.h"

namespace {

constexpr std::size_t kBlockSize = 1 << 16;
constexpr std::uint64_t kZeroSkipLimit = 8191;

// Usable for timing: sync, a real layer, a listed rate and bit rate (Layer I included).
std::int32_t UsableLength(const TMP3Header& h) {
    if ((h.HeaderWord() >> 21) != 2047 || h.LayerIndex() == 3) return 0;
    if (h.SampleRate() == 0 || h.BitRate() == 0) return 0;
    return h.FrameLength();
}

} // namespace

TMpegAudioFile::TMpegAudioFile(const std::string& path) : path_(path) {
    const std::string invalid = "Invalid MPEG file " + path;
    file_.reset(std::fopen(path.c_str(), "rb"));
    struct stat st {};
    if (!file_ || fstat(fileno(file_.get()), &st) != 0 || !S_ISREG(st.st_mode))
        throw EMorvantaError(invalid);
    size_ = static_cast<std::uint64_t>(st.st_size);
    std::uint64_t start = 0;
    std::int32_t length = 0;
    if (!Search(FirstSearchStart(), start, length)) throw EMorvantaError(invalid);
    std::uint8_t bytes[4];
    ReadAt(start, bytes, 4);
    const TMP3Header first = TMP3Header::FromBytes(bytes);
    if (first.LayerIndex() > 2) throw EMorvantaError("Unable to open the MPEG decoder");
    channels_ = first.Channels();
    sampleRate_ = first.SampleRate();
    Count(start, length);
}

TMpegAudioFile::~TMpegAudioFile() = default;

bool TMpegAudioFile::ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t count) {
    if (offset > size_ || count > size_ - offset) return false;
    if (offset < blockStart_ || offset + count > blockStart_ + block_.size()) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, size_ - offset));
        block_.resize(want);
        std::size_t got = 0;
        if (fseeko(file_.get(), static_cast<off_t>(offset), SEEK_SET) == 0)
            got = std::fread(block_.data(), 1, want, file_.get());
        block_.resize(got);
        blockStart_ = offset;
        if (got < count) {
            // The file shrank under us: what is not there does not exist.
            size_ = offset + got;
            return false;
        }
    }
    std::memcpy(out, block_.data() + (offset - blockStart_), count);
    return true;
}

std::uint64_t TMpegAudioFile::FirstSearchStart() {
    std::uint8_t head[10];
    std::uint64_t pos = 0;
    if (ReadAt(0, head, 10) && std::memcmp(head, "ID3", 3) == 0) {
        pos = 10;
        for (int i = 6; i < 10; ++i)
            pos += static_cast<std::uint64_t>(head[i] & 0x7F) << (7 * (9 - i));
        if (head[5] & 0x10) pos += 10;
        std::uint8_t b = 0;
        for (;; ++pos) {
            if (!ReadAt(pos, &b, 1)) return size_; // nothing but the tag (and zeros)
            if (b != 0) return pos;
        }
    }
    std::uint8_t b[4];
    if (ReadAt(0, b, 4) && b[0] == 0 && b[1] == 0 && b[2] == 0 && b[3] == 0) {
        std::uint8_t one = 0;
        for (pos = 0; pos < kZeroSkipLimit; ++pos)
            if (!ReadAt(pos, &one, 1) || one != 0) break;
    }
    return pos;
}

bool TMpegAudioFile::Search(std::uint64_t offset, std::uint64_t& start, std::int32_t& length) {
    std::uint8_t w[4];
    while (size_ >= 4 && offset < size_ - 4) {
        if (!ReadAt(offset, w, 4)) return false;
        if (TMP3Header::HasSync(w)) {
            const std::int32_t len = UsableLength(TMP3Header::FromBytes(w));
            if (len > 0) {
                if (offset + static_cast<std::uint64_t>(len) > size_) return false;
                start = offset;
                length = len;
                return true;
            }
            offset += 2;
        } else if (std::memcmp(w, "TAG", 3) == 0) {
            if (offset + 124 >= size_) return false;
            offset += 128; // an ID3v1 block
        } else {
            ++offset;
        }
    }
    return false;
}

void TMpegAudioFile::Count(std::uint64_t start, std::int32_t length) {
    std::uint8_t bytes[4];
    ReadAt(start, bytes, 4);
    const TMP3Header h = TMP3Header::FromBytes(bytes);
    // Each frame plays for its own samples at its own rate.
    totalSeconds_ += static_cast<long double>(h.SamplesPerFrame()) / h.SampleRate();
    ++frames_;
    next_ = start + static_cast<std::uint64_t>(length);
}

std::int64_t TMpegAudioFile::DataSize() {
    if (!scanned_) {
        std::uint64_t start = 0;
        std::int32_t length = 0;
        while (Search(next_, start, length)) Count(start, length);
        scanned_ = true;
    }
    const long double rate = channels_ == 1 ? sampleRate_ : 2.0L * sampleRate_;
    return 2 * RoundToInt64(totalSeconds_ * rate);
}
