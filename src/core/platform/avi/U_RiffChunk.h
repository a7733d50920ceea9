#pragma once
// Little-endian byte helpers and a scoped RIFF chunk for the AVI writer. A chunk writes its header
// with a placeholder size, and on Finish pads its data to an even length and fills the size in.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace riff {

inline void Put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void Put64(std::uint8_t* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline std::uint16_t Get16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t Get32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t Get64(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(Get32(p)) | (static_cast<std::uint64_t>(Get32(p + 4)) << 32);
}

// Where chunk bytes go: appended at the end, sizes patched in place later.
class TSink {
public:
    virtual ~TSink() = default;
    virtual std::uint64_t Pos() const = 0;
    virtual void Append(const void* data, std::size_t size) = 0;
    virtual void Patch32(std::uint64_t offset, std::uint32_t value) = 0;
};

// An in-memory sink, for blocks built whole before they reach the file.
class TMemSink final : public TSink {
public:
    std::uint64_t Pos() const override { return bytes_.size(); }
    void Append(const void* data, std::size_t size) override {
        const auto* p = static_cast<const std::uint8_t*>(data);
        bytes_.insert(bytes_.end(), p, p + size);
    }
    void Patch32(std::uint64_t offset, std::uint32_t value) override {
        Put32(bytes_.data() + offset, value);
    }
    void U8(std::uint8_t v) { bytes_.push_back(v); }
    void U16(std::uint16_t v) {
        std::uint8_t b[2];
        Put16(b, v);
        Append(b, 2);
    }
    void U32(std::uint32_t v) {
        std::uint8_t b[4];
        Put32(b, v);
        Append(b, 4);
    }
    void U64(std::uint64_t v) {
        std::uint8_t b[8];
        Put64(b, v);
        Append(b, 8);
    }
    void Zeros(std::size_t n) { bytes_.insert(bytes_.end(), n, 0); }
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

// A chunk ('id' size data) or, with a list type, a list ('LIST'/'RIFF' size type data).
class TRiffChunk {
public:
    TRiffChunk(TSink& sink, std::uint32_t id, std::uint32_t listType = 0) : sink_(&sink) {
        start_ = sink.Pos();
        std::uint8_t head[12];
        Put32(head, id);
        Put32(head + 4, 0); // placeholder, filled in by Finish
        Put32(head + 8, listType);
        sink.Append(head, listType != 0 ? 12 : 8);
    }
    ~TRiffChunk() {
        // Only in-memory chunks finish on their own; a file chunk is finished explicitly so that
        // a write failure is seen by the caller.
        if (!finished_ && dynamic_cast<TMemSink*>(sink_) != nullptr) Finish();
    }
    TRiffChunk(const TRiffChunk&) = delete;
    TRiffChunk& operator=(const TRiffChunk&) = delete;

    std::uint64_t Start() const { return start_; }
    // Size of the data so far (a list's type counts as data).
    std::uint64_t DataSize() const { return sink_->Pos() - start_ - 8; }
    void Finish() {
        if (finished_) return;
        finished_ = true;
        const std::uint64_t size = DataSize();
        if (size & 1) {
            const std::uint8_t pad = 0;
            sink_->Append(&pad, 1);
        }
        sink_->Patch32(start_ + 4, static_cast<std::uint32_t>(size));
    }

private:
    TSink* sink_;
    std::uint64_t start_ = 0;
    bool finished_ = false;
};

} // namespace riff
