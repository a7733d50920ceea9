#include "audio/U_MP3FrameExtract.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "platform/base/U_Errors.h"
#include "platform/base/U_Limits.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

constexpr std::size_t kId3v1Size = 128;

bool IsId3v1At(const std::vector<std::uint8_t>& data, std::size_t pos) {
    return pos + kId3v1Size == data.size() && std::memcmp(&data[pos], "TAG", 3) == 0;
}

} // namespace

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) throw EMorvantaError("Cannot open file \"" + path + "\". " + SystemErrorText(errno));
    struct stat st {};
    if (fstat(fileno(file.get()), &st) != 0)
        throw EMorvantaError("Cannot open file \"" + path + "\". " + SystemErrorText(errno));
    if (!S_ISREG(st.st_mode))
        throw EMorvantaError("Cannot open file \"" + path + "\". Not a regular file");
    if (static_cast<std::uint64_t>(st.st_size) > MaxSoundFileBytes)
        throw EMorvantaError("File too large: \"" + path + "\"");
    std::vector<std::uint8_t> data;
    try {
        data.resize(static_cast<std::size_t>(st.st_size));
    } catch (const std::bad_alloc&) {
        throw EMorvantaError("Not enough memory to read \"" + path + "\"");
    }
    // Never more than the size announced; a file that shrank meanwhile keeps what arrived.
    std::size_t got = 0;
    while (got < data.size()) {
        const std::size_t n = std::fread(data.data() + got, 1, data.size() - got, file.get());
        if (n == 0) {
            if (std::ferror(file.get()))
                throw EMorvantaError("Read error in file \"" + path + "\". " +
                                     SystemErrorText(errno));
            break;
        }
        got += n;
    }
    data.resize(got);
    return data;
}

std::size_t Id3v2TagSize(const std::uint8_t* data, std::size_t size) {
    if (size < 10 || std::memcmp(data, "ID3", 3) != 0) return 0;
    std::size_t tag = 10;
    for (int i = 6; i < 10; ++i) tag += static_cast<std::size_t>(data[i] & 0x7F) << (7 * (9 - i));
    if (data[5] & 0x10) tag += 10; // footer present
    return tag < size ? tag : size;
}

bool IsInfoFrame(const std::uint8_t* frame, std::size_t size, const TMP3Header& header) {
    if (header.LayerIndex() != 2) return false;
    // Xing/Info sit right after the side information, VBRI at a fixed place.
    std::size_t at = 4 + (header.HasCrc() == 1 ? 2u : 0u);
    if (header.VersionBit() == 1 && header.IsMpeg25() == 0)
        at += header.IsStereo() == 1 ? 32 : 17;
    else
        at += header.IsStereo() == 1 ? 17 : 9;
    if (at + 4 <= size &&
        (std::memcmp(frame + at, "Xing", 4) == 0 || std::memcmp(frame + at, "Info", 4) == 0))
        return true;
    return 36 + 4 <= size && std::memcmp(frame + 36, "VBRI", 4) == 0;
}

std::int64_t TMP3FrameExtract::FrameOffset(std::int32_t index) const {
    if (index < 0 || index >= FrameCount()) return -1;
    const auto i = static_cast<std::size_t>(index);
    return starts_[i] + lengths_[i];
}

std::int32_t TMP3FrameExtract::FrameSize(std::int32_t index) const {
    if (index < 0 || index >= FrameCount() - 1) return -1;
    return static_cast<std::int32_t>(FrameOffset(index + 1) - FrameOffset(index));
}

void TMP3FrameExtract::Load() {
    starts_.clear();
    lengths_.clear();
    firstHeader_.reset();
    finished_ = false;
    infoFrame_ = false;
    const std::vector<std::uint8_t> data = ReadWholeFile(fileName_);
    // A picture in a leading tag is full of 0xFF bytes: never search inside the tag.
    position_ = Id3v2TagSize(data.data(), data.size());
    if (!FindNextFrame(data)) return;
    int counted = 0;
    while (FindNextFrame(data)) {
        if (++counted == 10) {
            counted = 0;
            if (OnProgress)
                OnProgress(*this, static_cast<std::uint8_t>(static_cast<std::uint64_t>(position_) *
                                                            100 / data.size()));
        }
        if (finished_ || position_ + 4 > data.size()) break;
        if (OnQueryAbort && OnQueryAbort()) break;
    }
}

bool TMP3FrameExtract::IsConfirmed(const std::vector<std::uint8_t>& data, std::size_t end,
                                   const TMP3Header& header) const {
    if (end == data.size() || IsId3v1At(data, end)) return true;
    if (end + 4 > data.size() || !TMP3Header::HasSync(&data[end])) return false;
    const TMP3Header next = TMP3Header::FromBytes(&data[end]);
    return next.IsValid() && next.SameStreamAs(header);
}

bool TMP3FrameExtract::FindNextFrame(const std::vector<std::uint8_t>& data) {
    const std::size_t size = data.size();
    while (!finished_ && position_ + 4 <= size) {
        const std::size_t pos = position_;
        if (IsId3v1At(data, pos)) break;
        if (!TMP3Header::HasSync(&data[pos])) {
            ++position_;
            continue;
        }
        const TMP3Header header = TMP3Header::FromBytes(&data[pos]);
        // A stream has one version, layer and rate; anything else is a sync pattern in noise.
        if (!header.IsValid() || (firstHeader_ && !header.SameStreamAs(*firstHeader_))) {
            ++position_;
            continue;
        }
        const std::size_t end = pos + static_cast<std::size_t>(header.FrameLength());
        if (end > size) break; // the last frame is cut short: it is not part of the stream
        // A frame met right where the previous one ends is trusted; any other must be followed
        // by a frame of the same stream (or end the file) before it counts.
        const bool follows =
            !starts_.empty() && static_cast<std::int64_t>(pos) == starts_.back() + lengths_.back();
        if (!follows && !IsConfirmed(data, end, header)) {
            ++position_;
            continue;
        }
        if (!firstHeader_) {
            firstHeader_ = header;
            infoFrame_ =
                IsInfoFrame(&data[pos], static_cast<std::size_t>(header.FrameLength()), header);
        }
        starts_.push_back(static_cast<std::int64_t>(pos));
        lengths_.push_back(header.FrameLength());
        position_ = end;
        return true;
    }
    finished_ = true;
    return false;
}
