#pragma once
// The record file under every language file: an optional signature, a record count and
// variable-length keyed records that can be read forwards and backwards and appended to.
// Every read goes to the file at the current position; the stored backward length lets the
// store step back without an index. Lengths that do not fit the file end the readable part:
// the store then reads as being at its end and refuses appends.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/U_Errors.h"

// Signature of language files (17 bytes, no length prefix, no terminator).
inline constexpr std::string_view LanguageFileSignature = "DLX LANGUAGE FILE";

// Raised by writes on a store opened read-only.
class EStorefileReadOnly : public EMorvantaError {
public:
    EStorefileReadOnly() : EMorvantaError("Attempt to write a data while in ReadOnly mode") {}
};

class TStorefile {
public:
    TStorefile() = default;
    ~TStorefile();
    TStorefile(const TStorefile&) = delete;
    TStorefile& operator=(const TStorefile&) = delete;

    // Published properties; take effect at the next Open.
    std::string Signature;
    std::string Filename;
    bool ReadOnly = false;

    // Opens an existing file (a wrong signature leaves the store closed and the file as it was)
    // or creates a new one, folders included. Returns IsOpen().
    bool Open();
    // Writes the count back (unless read-only) and forgets all positions.
    void Close();

    bool IsOpen() const { return fd_ >= 0; }
    bool AtEnd() const { return !IsOpen() || position_ >= end_; }
    std::int32_t Count() const { return IsOpen() ? count_ : 0; }
    std::int32_t RecordIndex() const { return index_; }
    // Whether the effective mode is read-only (asked for, or all the file allowed).
    bool IsReadOnly() const { return readOnly_; }
    // Set when a length in the file did not fit; the rest of the file is not read.
    bool Damaged() const { return damaged_; }

    void First();
    void Last();
    bool Next();
    bool Prior();
    void SeekRecord(std::int32_t k);

    // Reads up to `size` payload bytes (all of them when `size` is negative or larger) into
    // `buffer`; `size` becomes the number read. Returns the key (0 at the end).
    std::int32_t ReadRecord(void* buffer, std::int32_t& size, bool advance = true);
    std::int32_t ReadString(std::string& text, bool advance = true);
    std::int32_t ReadBytes(std::vector<std::uint8_t>& bytes, bool advance = true);
    // Reads at most 4 bytes into the low end of `value`; bytes not read keep their value.
    std::int32_t ReadInteger(std::int32_t& value, bool advance = true);
    std::int32_t PeekSize();

    // Appends at the end only; each returns the new count, or 0 when nothing was written.
    std::int32_t AppendRecord(std::int32_t key, const void* data, std::int32_t size);
    std::int32_t AppendString(std::int32_t key, std::string_view text);
    std::int32_t AppendInteger(std::int32_t key, std::int32_t value);
    // Empties the file (delete and create again).
    void Clear();

private:
    struct THeader {
        std::int32_t Forward = 0;
        std::int32_t Key = 0;
    };
    bool ReadAt(std::int64_t offset, void* buffer, std::size_t size);
    bool ReadInt32At(std::int64_t offset, std::int32_t& value);
    // Reads the record header at the position; false (and the store damaged) when it does not
    // fit the file.
    bool RecordAtPosition(THeader& header);
    // Checks that a record starting at `start` ends exactly at `end`.
    bool RecordSpans(std::int64_t start, std::int64_t end);
    void MarkDamaged();
    template <class Fill> std::int32_t ReadPayload(Fill fill, bool advance);
    void Forget();

    int fd_ = -1;
    bool readOnly_ = false;
    bool damaged_ = false;
    std::int32_t count_ = 0;
    std::int64_t first_ = 0;
    std::int64_t position_ = 0;
    std::int32_t index_ = 0;
    std::int64_t end_ = 0;
    // A small read-ahead window so that walking many tiny records stays cheap.
    std::vector<std::uint8_t> cache_;
    std::int64_t cacheStart_ = 0;
};
