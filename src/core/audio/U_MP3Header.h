#pragma once
// One 4-byte MPEG audio frame header: its fields, the frame length it implies and whether the
// frame can go into the video file's sound stream (Layer II and III with a listed bit rate).
#include <cstdint>

class TMP3Header {
public:
    // `raw` holds the 4 header bytes as read from the file into a little-endian word (first file
    // byte in the lowest byte).
    explicit TMP3Header(std::uint32_t raw);
    // The 4 bytes at `bytes` in file order.
    static TMP3Header FromBytes(const std::uint8_t* bytes);
    // True when the two bytes at `bytes` carry the 11 sync bits.
    static bool HasSync(const std::uint8_t* bytes) {
        return bytes[0] == 0xFF && (bytes[1] & 0xE0) == 0xE0;
    }

    // Whole frame in bytes (header and CRC included); 0 when the header is unusable.
    std::int32_t FrameLength() const { return frameLength_; }
    // Bytes after the header, the CRC and the Layer III side information.
    std::int32_t DataLength() const { return dataLength_; }
    // The header bytes as a big-endian word; 0 when the frame length was out of range.
    std::uint32_t HeaderWord() const { return headerWord_; }

    int IsMpeg25() const { return (headerWord_ >> 20 & 1) == 0 ? 1 : 0; }
    int VersionBit() const { return static_cast<int>(headerWord_ >> 19 & 1); }
    int LayerBits() const { return static_cast<int>(headerWord_ >> 17 & 3); }
    // 0 = Layer I, 1 = Layer II, 2 = Layer III, 3 = reserved.
    int LayerIndex() const { return (3 - LayerBits()) & 3; }
    int HasCrc() const { return (headerWord_ >> 16 & 1) == 0 ? 1 : 0; }
    int BitRateIndex() const { return static_cast<int>(headerWord_ >> 12 & 15); }
    int SampleRateIndex() const { return static_cast<int>(headerWord_ >> 10 & 3); }
    int Padding() const { return static_cast<int>(headerWord_ >> 9 & 1); }
    int ChannelMode() const { return static_cast<int>(headerWord_ >> 6 & 3); }
    int IsStereo() const { return ChannelMode() != 3 ? 1 : 0; }
    int Channels() const { return IsStereo() + 1; }
    // Bits per second; 0 for free format and the forbidden index.
    int BitRate() const;
    // Hz; 1 for the reserved rate index, 0 for the reserved layer.
    int SampleRate() const;
    // True for version bits 00 (the low rates 11025, 12000, 8000 Hz).
    bool IsTrueMpeg25() const { return IsMpeg25() == 1 && VersionBit() == 0; }
    // PCM samples per channel that one frame carries (384, 1152 or 576); 0 for the reserved layer.
    int SamplesPerFrame() const;
    // Same version bits, layer and sample rate index: frames that can share one stream.
    bool SameStreamAs(const TMP3Header& other) const {
        return (headerWord_ & 0x001E0C00u) == (other.headerWord_ & 0x001E0C00u);
    }

    bool IsValid() const;

private:
    std::uint32_t headerWord_;
    std::int32_t frameLength_ = 0;
    std::int32_t dataLength_ = 0;
};
