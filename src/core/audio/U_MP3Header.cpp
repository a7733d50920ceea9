#include "audio/U_MP3Header.h"

namespace {

// kbit/s by [VersionBit][LayerIndex][BitRateIndex]: MPEG-2/2.5 low sampling rates, then MPEG-1.
constexpr int kBitRates[2][3][16] = {
    {
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
    },
    {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    },
};

// Hz by version and SampleRateIndex. The reserved index reads 1 so that any length computed
// with it falls outside the accepted range.
constexpr int kMpeg1Rates[4] = {44100, 48000, 32000, 1};
constexpr int kMpeg2Rates[4] = {22050, 24000, 16000, 1};
constexpr int kMpeg25Rates[4] = {11025, 12000, 8000, 1};

constexpr std::int32_t kMaxFrameLength = 10000;

std::uint32_t SwapBytes(std::uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

} // namespace

TMP3Header::TMP3Header(std::uint32_t raw) : headerWord_(SwapBytes(raw)) {
    const int layer = LayerIndex();
    if (layer == 3) return; // reserved layer: no length, header word kept
    const int bitRate = BitRate();
    const int sampleRate = SampleRate();
    if (sampleRate == 0) return;
    std::int32_t length = 0;
    if (layer == 0) {
        length = (bitRate * 12 / sampleRate + Padding()) * 4;
    } else if (layer == 1) {
        length = bitRate * 144 / sampleRate + Padding();
    } else if (BitRateIndex() == 0) {
        length = 38 + Padding(); // free format: the length is not in the header
    } else {
        // Layer III frames of the low-rate versions hold half as many samples.
        const int perByte = (IsMpeg25() == 1 || VersionBit() == 0) ? 72 : 144;
        length = bitRate * perByte / sampleRate + Padding();
    }
    if (length <= 0 || length > kMaxFrameLength) {
        headerWord_ = 0;
        return;
    }
    frameLength_ = length;
    dataLength_ = length - 4 - (HasCrc() == 1 ? 2 : 0);
    if (layer == 2) {
        if (VersionBit() == 1)
            dataLength_ -= IsStereo() == 1 ? 32 : 17;
        else
            dataLength_ -= IsStereo() == 1 ? 17 : 9;
    }
}

TMP3Header TMP3Header::FromBytes(const std::uint8_t* bytes) {
    return TMP3Header(
        static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
        static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24);
}

int TMP3Header::BitRate() const {
    const int layer = LayerIndex();
    if (layer == 3) return 0;
    return kBitRates[VersionBit()][layer][BitRateIndex()] * 1000;
}

int TMP3Header::SampleRate() const {
    if (LayerIndex() == 3) return 0;
    const int index = SampleRateIndex();
    if (VersionBit() == 1) return kMpeg1Rates[index];
    return IsMpeg25() == 1 ? kMpeg25Rates[index] : kMpeg2Rates[index];
}

int TMP3Header::SamplesPerFrame() const {
    switch (LayerIndex()) {
    case 0:
        return 384;
    case 1:
        return 1152;
    case 2:
        return (IsMpeg25() == 1 || VersionBit() == 0) ? 576 : 1152;
    default:
        return 0;
    }
}

bool TMP3Header::IsValid() const {
    if ((headerWord_ >> 21) != 2047) return false;
    if (LayerIndex() == 0) return false;
    if (SampleRate() == 0) return false;
    return BitRate() != 0;
}
