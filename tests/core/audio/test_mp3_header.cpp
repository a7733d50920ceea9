#include <gtest/gtest.h>

#include "audio/U_MP3Header.h"

namespace {

TMP3Header H(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    const std::uint8_t bytes[4] = {a, b, c, d};
    return TMP3Header::FromBytes(bytes);
}

} // namespace

TEST(MP3Header, Mpeg1Layer3WithAndWithoutPadding) {
    const auto h = H(0xFF, 0xFB, 0x90, 0x64);
    EXPECT_EQ(h.HeaderWord(), 0xFFFB9064u);
    EXPECT_EQ(h.FrameLength(), 417);
    EXPECT_EQ(h.DataLength(), 381);
    EXPECT_EQ(h.BitRate(), 128000);
    EXPECT_EQ(h.SampleRate(), 44100);
    EXPECT_EQ(h.Channels(), 2);
    EXPECT_EQ(h.ChannelMode(), 1);
    EXPECT_EQ(h.LayerIndex(), 2);
    EXPECT_EQ(h.HasCrc(), 0);
    EXPECT_EQ(h.SamplesPerFrame(), 1152);
    EXPECT_TRUE(h.IsValid());

    const auto padded = H(0xFF, 0xFB, 0x92, 0x64);
    EXPECT_EQ(padded.FrameLength(), 418);
    EXPECT_EQ(padded.DataLength(), 382);

    // The constructor takes the bytes as a little-endian word read from the file.
    EXPECT_EQ(TMP3Header(0x6490FBFFu).FrameLength(), 417);
}

TEST(MP3Header, Layer2AndLowRateLayer3) {
    const auto l2 = H(0xFF, 0xFD, 0xA4, 0x00);
    EXPECT_EQ(l2.LayerIndex(), 1);
    EXPECT_EQ(l2.BitRate(), 192000);
    EXPECT_EQ(l2.SampleRate(), 48000);
    EXPECT_EQ(l2.FrameLength(), 576);
    EXPECT_EQ(l2.DataLength(), 572);
    EXPECT_EQ(l2.SamplesPerFrame(), 1152);
    EXPECT_TRUE(l2.IsValid());

    const auto mono = H(0xFF, 0xF3, 0x80, 0xC0);
    EXPECT_EQ(mono.VersionBit(), 0);
    EXPECT_EQ(mono.BitRate(), 64000);
    EXPECT_EQ(mono.SampleRate(), 22050);
    EXPECT_EQ(mono.FrameLength(), 208);
    EXPECT_EQ(mono.DataLength(), 195);
    EXPECT_EQ(mono.Channels(), 1);
    EXPECT_EQ(mono.SamplesPerFrame(), 576);
    EXPECT_TRUE(mono.IsValid());

    // With a CRC the two check bytes leave the data too.
    const auto crc = H(0xFF, 0xFA, 0x90, 0x64);
    EXPECT_EQ(crc.HasCrc(), 1);
    EXPECT_EQ(crc.DataLength(), 379);
}

TEST(MP3Header, Mpeg25DecodesToItsTrueRates) {
    const auto h = H(0xFF, 0xE3, 0x40, 0x00); // 32 kbit/s, rate index 0
    EXPECT_EQ(h.IsMpeg25(), 1);
    EXPECT_TRUE(h.IsTrueMpeg25());
    EXPECT_EQ(h.SampleRate(), 11025);
    EXPECT_EQ(h.BitRate(), 32000);
    EXPECT_EQ(h.FrameLength(), 208); // 72 * 32000 / 11025
    EXPECT_EQ(h.DataLength(), 187);
    EXPECT_EQ(h.SamplesPerFrame(), 576);
    EXPECT_TRUE(h.IsValid());
    EXPECT_EQ(H(0xFF, 0xE3, 0x40 | 0x04, 0x00).SampleRate(), 12000);
    EXPECT_EQ(H(0xFF, 0xE3, 0x40 | 0x08, 0x00).SampleRate(), 8000);
    // 8 kbit/s at 8000 Hz with padding: 72 + 1.
    EXPECT_EQ(H(0xFF, 0xE3, 0x1A, 0xC0).FrameLength(), 73);
}

TEST(MP3Header, ReservedVersionUsesMpeg1TablesWithTheLowRateLength) {
    const auto h = H(0xFF, 0xEB, 0x90, 0x64);
    EXPECT_EQ(h.BitRate(), 128000);
    EXPECT_EQ(h.SampleRate(), 44100);
    EXPECT_EQ(h.FrameLength(), 208);
    EXPECT_EQ(h.DataLength(), 172);
    EXPECT_TRUE(h.IsValid());
}

TEST(MP3Header, UnusableHeaders) {
    const auto layer1 = H(0xFF, 0xFF, 0x40, 0x00);
    EXPECT_EQ(layer1.LayerIndex(), 0);
    EXPECT_EQ(layer1.FrameLength(), 136);
    EXPECT_EQ(layer1.SamplesPerFrame(), 384);
    EXPECT_FALSE(layer1.IsValid());

    // Reserved rate index with a listed bit rate: far too long (Layer II) or out of range
    // (Layer III); every field is cleared.
    for (const auto& h : {H(0xFF, 0xFD, 0xAC, 0x00), H(0xFF, 0xFB, 0x9C, 0x64)}) {
        EXPECT_EQ(h.HeaderWord(), 0u);
        EXPECT_EQ(h.FrameLength(), 0);
        EXPECT_EQ(h.DataLength(), 0);
        EXPECT_FALSE(h.IsValid());
    }

    const auto free = H(0xFF, 0xFB, 0x00, 0x64);
    EXPECT_EQ(free.FrameLength(), 38);
    EXPECT_EQ(H(0xFF, 0xFB, 0x02, 0x64).FrameLength(), 39);
    EXPECT_FALSE(free.IsValid());
    EXPECT_FALSE(H(0xFF, 0xFB, 0xF0, 0x64).IsValid()); // bit-rate index 15

    const auto reserved = H(0xFF, 0xF9, 0x90, 0x64); // layer bits 00
    EXPECT_EQ(reserved.LayerIndex(), 3);
    EXPECT_EQ(reserved.FrameLength(), 0);
    EXPECT_EQ(reserved.DataLength(), 0);
    EXPECT_EQ(reserved.HeaderWord(), 0xFFF99064u);
    EXPECT_EQ(reserved.SampleRate(), 0);
    EXPECT_FALSE(reserved.IsValid());

    EXPECT_FALSE(H(0xFF, 0x1B, 0x90, 0x64).IsValid()); // sync bits missing
}

TEST(MP3Header, EveryHeaderWordStaysInRange) {
    // All header words with the sync bits: lengths stay within 0..10000 and the valid ones
    // carry a real rate and a whole number of samples.
    int valid = 0;
    for (std::uint32_t low = 0; low < (1u << 21); low += 1u << 6) {
        const std::uint32_t word = 0xFFE00000u | low;
        const std::uint8_t b[4] = {
            static_cast<std::uint8_t>(word >> 24), static_cast<std::uint8_t>(word >> 16),
            static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word)};
        const auto h = TMP3Header::FromBytes(b);
        ASSERT_GE(h.FrameLength(), 0);
        ASSERT_LE(h.FrameLength(), 10000);
        if (h.IsValid()) {
            ++valid;
            ASSERT_GE(h.SampleRate(), 8000);
            ASSERT_GT(h.FrameLength(), 4);
            ASSERT_GT(h.SamplesPerFrame(), 0);
        }
    }
    EXPECT_GT(valid, 0);
}
