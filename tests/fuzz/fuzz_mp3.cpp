// MPEG audio frame headers and the frame scanner the multiplexer cuts the soundtrack with.
// Besides crashes, a frame table that points outside the file or backwards is a finding: the
// multiplexer copies exactly those byte ranges into the video file.
#include <cstddef>
#include <cstdint>
#include <exception>

#include "FuzzSupport.h"
#include "audio/U_MP3FrameExtract.h"
#include "audio/U_MP3Header.h"

namespace {

// Every accessor of one header; the sum only keeps the calls from being optimised away.
int TouchHeader(const TMP3Header& h) {
    int sum = h.FrameLength() + h.DataLength() + static_cast<int>(h.HeaderWord() & 0xFF);
    sum += h.IsMpeg25() + h.VersionBit() + h.LayerBits() + h.LayerIndex() + h.HasCrc();
    sum += h.BitRateIndex() + h.SampleRateIndex() + h.Padding() + h.ChannelMode() + h.Channels();
    sum += h.BitRate() + h.SampleRate() + h.SamplesPerFrame() + (h.IsTrueMpeg25() ? 1 : 0);
    sum += h.IsValid() ? 1 : 0;
    if (h.IsValid() && (h.FrameLength() < 4 || h.DataLength() < 0 ||
                        h.DataLength() > h.FrameLength() || h.SampleRate() <= 1))
        __builtin_trap();
    return sum;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static TFuzzFile file(".mp3");
    volatile int sink = 0;

    // Headers straight from the bytes: the first few words, both ways round.
    for (std::size_t at = 0; at + 4 <= size && at < 64; at += 4) {
        const TMP3Header fromBytes = TMP3Header::FromBytes(data + at);
        sink = sink + TouchHeader(fromBytes);
        const std::uint32_t word = static_cast<std::uint32_t>(data[at]) |
                                   static_cast<std::uint32_t>(data[at + 1]) << 8 |
                                   static_cast<std::uint32_t>(data[at + 2]) << 16 |
                                   static_cast<std::uint32_t>(data[at + 3]) << 24;
        const TMP3Header fromWord(word);
        if (fromWord.HeaderWord() != fromBytes.HeaderWord()) __builtin_trap();
        sink = sink + (fromWord.SameStreamAs(fromBytes) ? 1 : 0);
        if (fromBytes.IsValid() && size - at >= static_cast<std::size_t>(fromBytes.FrameLength()))
            sink = sink + (IsInfoFrame(data + at, static_cast<std::size_t>(fromBytes.FrameLength()),
                                       fromBytes)
                               ? 1
                               : 0);
    }
    if (Id3v2TagSize(data, size) > size) __builtin_trap();

    TMP3FrameExtract extract(file.Write(data, size));
    try {
        extract.Load();
    } catch (const std::exception&) {
        return 0;
    }
    sink = sink + extract.BitRate() + extract.Channels() + extract.SampleRate();
    if (extract.FirstHeader()) sink = sink + TouchHeader(*extract.FirstHeader());
    const std::size_t found = extract.FramesFound();
    if (extract.FrameCount() != static_cast<std::int32_t>(found) - 1) __builtin_trap();
    if (extract.FirstAudioFrame() > found) __builtin_trap();
    std::int64_t previousEnd = 0;
    for (std::size_t i = 0; i < found; ++i) {
        const std::int64_t start = extract.FrameStart(i);
        const std::int32_t length = extract.FrameLength(i);
        if (start < previousEnd || length <= 0 || start + length > static_cast<std::int64_t>(size))
            __builtin_trap();
        previousEnd = start + length;
    }
    const auto count = extract.FrameCount();
    for (std::int32_t i = -1; i <= count; ++i) {
        sink = sink + static_cast<int>(extract.FrameOffset(i) & 0xFF) + extract.FrameSize(i);
    }
    (void)sink;
    return 0;
}
