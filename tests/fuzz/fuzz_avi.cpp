// The AVI reader, driven the way the multiplexer drives it: the file's and the video stream's
// headers, then every sample's size, bytes and key flag; the sound stream likewise. A sample
// larger than the file, or a read that disagrees with the size it announced, is a finding.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

#include "FuzzSupport.h"
#include "platform/avi/U_AviFile.h"

namespace {

// Enough samples to walk every index form; a huge claimed length must not make one run slow.
constexpr std::int32_t kMaxSamples = 4096;

void ReadStream(const TAviReader& reader, int stream, std::size_t fileSize) {
    AVISTREAMINFO info;
    if (reader.StreamInfo(stream, info) != AVIERR_OK) return;
    std::vector<std::uint8_t> format;
    if (reader.ReadFormat(stream, format) == AVIERR_OK && format.size() > fileSize)
        __builtin_trap();
    const std::int32_t length = reader.StreamLength(stream);
    std::vector<std::uint8_t> buffer;
    for (std::int32_t i = 0; i < std::min(length, kMaxSamples); ++i) {
        std::uint32_t size = 0;
        if (reader.SampleSize(stream, i, size) != AVIERR_OK) break;
        if (size > fileSize) __builtin_trap();
        buffer.resize(size);
        std::uint32_t got = 0;
        if (reader.Read(stream, i, buffer.data(), buffer.size(), got) != AVIERR_OK) break;
        if (got != size) __builtin_trap();
        if (size > 0) {
            std::uint32_t tooSmall = 0;
            if (reader.Read(stream, i, buffer.data(), size - 1, tooSmall) != AVIERR_BUFFERTOOSMALL)
                __builtin_trap();
        }
        const std::int32_t key = reader.FindKeySample(stream, i);
        if (key > i || key < -1) __builtin_trap();
        if ((key == i) != reader.IsKeyFrame(stream, i)) __builtin_trap();
    }
    // Positions outside the stream are refused, not read.
    std::uint32_t size = 0;
    (void)reader.SampleSize(stream, -1, size);
    (void)reader.SampleSize(stream, length, size);
    (void)reader.FindKeySample(stream, length);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static TFuzzFile file(".avi");
    TAviReader reader;
    try {
        if (reader.Open(file.Write(data, size)) != AVIERR_OK) return 0;
        AVIFILEINFO info;
        if (reader.Info(info) != AVIERR_OK) return 0;
        int video = -1;
        if (reader.GetStream(streamtypeVIDEO, 0, video) == AVIERR_OK)
            ReadStream(reader, video, size);
        int audio = -1;
        if (reader.GetStream(streamtypeAUDIO, 0, audio) == AVIERR_OK)
            ReadStream(reader, audio, size);
        int none = -1;
        (void)reader.GetStream(streamtypeVIDEO, 1000, none);
    } catch (const std::exception&) {
        // The reader reports by result codes; an exception is still a clean refusal.
    }
    reader.Close();
    return 0;
}
