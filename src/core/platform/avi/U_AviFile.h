#pragma once
// The AVI file layer: a RIFF AVI writer and reader with the operations and result codes of the
// classic AVI file library. AVI 1.0 (hdrl, movi, idx1) and OpenDML (AVIX, indx, ix##) past the
// segment limit, so files above 4 GiB work. Results are 0 for success, else an AVIERR_* code.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using AviResult = std::uint32_t;

constexpr AviResult AVIERR_OK = 0;
constexpr AviResult AviError(std::uint32_t n) {
    return 0x80044000u + n;
}
constexpr AviResult AVIERR_BADFORMAT = AviError(102);
constexpr AviResult AVIERR_MEMORY = AviError(103);
constexpr AviResult AVIERR_BADSIZE = AviError(107);
constexpr AviResult AVIERR_FILEREAD = AviError(109);
constexpr AviResult AVIERR_FILEWRITE = AviError(110);
constexpr AviResult AVIERR_FILEOPEN = AviError(111);
constexpr AviResult AVIERR_NODATA = AviError(115);
constexpr AviResult AVIERR_BUFFERTOOSMALL = AviError(116);
constexpr AviResult AVIERR_ERROR = AviError(199);

constexpr std::uint32_t AVIIF_KEYFRAME = 0x10;

constexpr std::uint32_t MakeFourCC(char a, char b, char c, char d) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 8) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(d)) << 24);
}
// The first four characters of `text`, padded with blanks, in memory order.
std::uint32_t StringToFourCC(const std::string& text);
// The four characters of `v` in memory order (bits 0-7 first).
std::string FourCCToString(std::uint32_t v);

constexpr std::uint32_t streamtypeVIDEO = MakeFourCC('v', 'i', 'd', 's');
constexpr std::uint32_t streamtypeAUDIO = MakeFourCC('a', 'u', 'd', 's');

struct AviRect {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// AVISTREAMINFO (140 bytes on disk in the classic library; here the same fields).
struct AVISTREAMINFO {
    std::uint32_t fccType = 0;
    std::uint32_t fccHandler = 0;
    std::uint32_t dwFlags = 0;
    std::uint32_t dwCaps = 0;
    std::uint16_t wPriority = 0;
    std::uint16_t wLanguage = 0;
    std::uint32_t dwScale = 0;
    std::uint32_t dwRate = 0;
    std::uint32_t dwStart = 0;
    std::uint32_t dwLength = 0;
    std::uint32_t dwInitialFrames = 0;
    std::uint32_t dwSuggestedBufferSize = 0;
    std::uint32_t dwQuality = 0;
    std::uint32_t dwSampleSize = 0;
    AviRect rcFrame;
    std::uint32_t dwEditCount = 0;
    std::uint32_t dwFormatChangeCount = 0;
    char szName[64] = {};
};

// AVIFILEINFO (108 bytes in the classic library).
struct AVIFILEINFO {
    std::uint32_t dwMaxBytesPerSec = 0;
    std::uint32_t dwFlags = 0;
    std::uint32_t dwCaps = 0;
    std::uint32_t dwStreams = 0;
    std::uint32_t dwSuggestedBufferSize = 0;
    std::uint32_t dwWidth = 0;
    std::uint32_t dwHeight = 0;
    std::uint32_t dwScale = 0;
    std::uint32_t dwRate = 0;
    std::uint32_t dwLength = 0;
    std::uint32_t dwEditCount = 0;
    char szFileType[64] = {};
};

struct TAviWriterOptions {
    // Bytes after which the current RIFF is closed and an AVIX RIFF begins (OpenDML). A RIFF
    // always takes at least one sample; limits below 4096 or above ~4 GiB make Create fail.
    std::uint64_t SegmentLimit = 1ull << 30;
};

// Writes a new AVI file. Streams are created, and their formats set, before the first sample is
// written: that write puts the headers on disk, so a file whose writer dies mid-way still reads
// (its RIFF and movi sizes say "to the end of the file" and readers scan movi). After it, only a
// format of the same size may be set again. Samples are written at increasing positions per
// stream (a gap is filled with empty samples; position -1 appends); in a stream with a fixed
// dwSampleSize (PCM) positions count those samples and one write may carry several. Header
// fields that depend on the content are filled in by Close. A failed write sticks: every later
// call, Close included, returns AVIERR_FILEWRITE.
class TAviWriter {
public:
    TAviWriter();
    ~TAviWriter(); // closes
    TAviWriter(const TAviWriter&) = delete;
    TAviWriter& operator=(const TAviWriter&) = delete;

    // Creates `path`; with `exclusive` an existing file makes it fail with AVIERR_FILEOPEN.
    AviResult Create(const std::string& path, bool exclusive = false,
                     TAviWriterOptions options = {});
    AviResult CreateStream(const AVISTREAMINFO& info, int& stream);
    // The whole format block (BITMAPINFOHEADER with any codec data, or a WAVEFORMATEX).
    AviResult SetFormat(int stream, const void* format, std::size_t size);
    AviResult Write(int stream, std::int32_t position, const void* data, std::size_t size,
                    std::uint32_t flags);
    // Writes the indexes and the final header fields, then closes the file.
    AviResult Close();
    bool IsOpen() const;
    // errno of the last failed file operation (0 when none), for messages.
    int LastErrno() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Reads an AVI file (AVI 1.0 with idx1, or OpenDML with indx/ix##; a file without index is
// read by scanning movi, and then every sample counts as a key frame). Never trusts a size in
// the file beyond the bytes that are there; an index entry pointing outside the file makes Open
// fail with AVIERR_BADFORMAT. Stream lengths are what the file holds, whatever its headers say.
// Info's dwLength is the longest stream's length in the file's frame periods (for a video-only
// file, its number of frames).
class TAviReader {
public:
    TAviReader();
    ~TAviReader();
    TAviReader(const TAviReader&) = delete;
    TAviReader& operator=(const TAviReader&) = delete;

    AviResult Open(const std::string& path);
    void Close();
    AviResult Info(AVIFILEINFO& info) const;
    // Index of the `index`-th stream of type `fccType` in `stream`.
    AviResult GetStream(std::uint32_t fccType, int index, int& stream) const;
    AviResult StreamInfo(int stream, AVISTREAMINFO& info) const;
    AviResult ReadFormat(int stream, std::vector<std::uint8_t>& format) const;
    // Number of samples (positions) of a stream.
    std::int32_t StreamLength(int stream) const;
    // Size of the sample at `position` (0 for an empty sample).
    AviResult SampleSize(int stream, std::int32_t position, std::uint32_t& size) const;
    // Reads one sample; AVIERR_BUFFERTOOSMALL when `capacity` is smaller than the sample,
    // AVIERR_NODATA for a position outside the stream. A null `buffer` only sets `bytesRead` to
    // the sample's size.
    AviResult Read(int stream, std::int32_t position, void* buffer, std::size_t capacity,
                   std::uint32_t& bytesRead) const;
    bool IsKeyFrame(int stream, std::int32_t position) const;
    // The nearest key sample at or before `position`, or -1 when none.
    std::int32_t FindKeySample(int stream, std::int32_t position) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
