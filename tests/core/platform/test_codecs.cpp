// The codec layer: the list and its cache, FourCC matching, stored options, the encoder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>

#include "TestSupport.h"
#include "platform/base/U_Errors.h"
#include "platform/codec/U_CodecProfiles.h"
#include "platform/codec/U_CodecTrial.h"
#include "platform/codec/U_Codecs.h"
#include "platform/container/U_Container.h"
#include "platform/os/U_Settings.h"

namespace {

std::uint32_t LE32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::uint16_t LE16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

TBitmap32 Pattern(int w, int h, int seed) {
    TBitmap32 bmp(w, h);
    std::uint32_t state = 12345u + static_cast<std::uint32_t>(seed) * 7919u;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            state = state * 1103515245u + 12345u;
            const std::uint32_t noise = (state >> 16) & 15;
            bmp.At(x, y) = PackRGB((x * 255 / w + seed * 9) & 255, (y * 255 / h + noise) & 255,
                                   ((x + y) * 3 + seed) & 255);
        }
    return bmp;
}

int IndexOf(const std::vector<TCodecInfo>& list, const std::string& fourcc) {
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i].FourCC == fourcc) return static_cast<int>(i);
    return -1;
}

// Tests that write settings get their own store: CTest runs the others of this file at the
// same time, against the shared one.
class TPrivateStore {
public:
    TPrivateStore() {
        if (const char* old = std::getenv("MORVANTA_CONFIG_DIR")) old_ = old;
        setenv("MORVANTA_CONFIG_DIR", dir_.Path().c_str(), 1);
    }
    ~TPrivateStore() {
        if (old_)
            setenv("MORVANTA_CONFIG_DIR", old_->c_str(), 1);
        else
            unsetenv("MORVANTA_CONFIG_DIR");
    }

private:
    test::TempDir dir_;
    std::optional<std::string> old_;
};

TCodecInfo Need(const std::string& fourcc) {
    auto codec = FindCodec(fourcc);
    if (!codec) throw EMorvantaError("missing codec " + fourcc);
    return *codec;
}

} // namespace

TEST(Codecs, ListHoldsTheWellKnownCodecsFirstAndOnce) {
    const auto list = ListCodecInfos();
    const std::vector<std::string> required = {"XVID", "FMP4", "H264", "MJPG",
                                               "FFV1", "HFYU", "DIB "};
    for (const auto& fcc : required) EXPECT_GE(IndexOf(list, fcc), 0) << fcc;
    // Well-known ones keep their order and come before any other.
    const std::vector<std::string> order = {"XVID", "FMP4", "H264", "HEVC", "AV01", "VP90",
                                            "MJPG", "MP42", "MP43", "FFV1", "HFYU", "FFVH",
                                            "M8RG", "ULRG", "MSVC", "cvid", "ZMBV", "DIB "};
    int last = -1;
    for (const auto& fcc : order) {
        const int at = IndexOf(list, fcc);
        if (at < 0) continue;
        EXPECT_EQ(at, last + 1) << fcc;
        last = at;
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string line = list[i].Line();
        ASSERT_GT(line.size(), 5u);
        EXPECT_EQ(line[4], ' ');
        EXPECT_EQ(line.substr(0, 4), list[i].FourCC);
        for (std::size_t j = i + 1; j < list.size(); ++j)
            EXPECT_FALSE(SameFourCC(list[i].FourCC, list[j].FourCC)) << list[i].FourCC;
        // Devices' encoders only from the well-known list, where their trial decides.
        for (const char* hw : {"vaapi", "v4l2m2m", "omx"})
            EXPECT_EQ(list[i].Encoder.find(hw), std::string::npos) << list[i].Encoder;
    }
    EXPECT_EQ(list[IndexOf(list, "XVID")].Encoder, "libxvid");
    EXPECT_EQ(list[IndexOf(list, "FMP4")].Encoder, "mpeg4");
    EXPECT_EQ(list[IndexOf(list, "FFV1")].PixelFormat, "bgr0");
    if (IndexOf(list, "ULRG") >= 0) {
        EXPECT_EQ(list[IndexOf(list, "ULRG")].PixelFormat, "gbrp");
    }
}

// A graphics card's encoder is listed only where its trial works: a driver and a device. This
// machine has neither, so each is refused with the reason its trial gives.
TEST(Codecs, HardwareEncodersAreListedOnlyWhenTheirTrialWorks) {
    const auto list = ListCodecInfos();
    const TCodecInfo candidates[] = {{"NVH4", "NVENC H.264", "h264_nvenc", "yuv420p"},
                                     {"NVH5", "NVENC HEVC", "hevc_nvenc", "yuv420p"},
                                     {"QSH4", "Quick Sync H.264", "h264_qsv", "nv12"},
                                     {"QSH5", "Quick Sync HEVC", "hevc_qsv", "nv12"}};
    const bool noDevice = !std::filesystem::exists("/dev/dri") &&
                          !std::filesystem::exists("/dev/nvidia0") &&
                          !std::filesystem::exists("/dev/nvidiactl");
    for (const TCodecInfo& codec : candidates) {
        SCOPED_TRACE(codec.Encoder);
        EXPECT_TRUE(IsHardwareEncoder(codec.Encoder));
        EXPECT_FALSE(ContainerHolds(TContainer::Avi, codec)) << "no FourCC AVI readers know";
        EXPECT_TRUE(ContainerHolds(TContainer::Mp4, codec));
        EXPECT_TRUE(ContainerHolds(TContainer::Mkv, codec));
        const std::string trial = CodecTrial(codec, 160, 120, 40);
        EXPECT_EQ(IndexOf(list, codec.FourCC) >= 0, trial.empty()) << trial;
        if (noDevice) {
            EXPECT_FALSE(trial.empty()) << "no device here: the trial cannot work";
        }
    }
    EXPECT_FALSE(IsHardwareEncoder("libx264"));
}

TEST(Codecs, ProbeIsCachedPerLibraryVersion) {
    TPrivateStore store;
    const auto probed = ProbeCodecInfos();
    const auto version = ReadStringValue(TSettingsHive::Machine, CodecsKey, "Version");
    ASSERT_TRUE(version.has_value());
    EXPECT_NE(version->find("Lavc"), std::string::npos);

    // A cached list under the same version is used as it stands...
    ASSERT_TRUE(WriteStringValue(TSettingsHive::Machine, CodecsKey, "Count", "1"));
    ASSERT_TRUE(WriteStringValue(TSettingsHive::Machine, CodecsKey, "Codec0",
                                 "TEST|mpeg4|yuv420p|Cached entry"));
    auto cached = ListCodecInfos();
    ASSERT_EQ(cached.size(), 1u);
    EXPECT_EQ(cached[0].Line(), "TEST Cached entry");
    EXPECT_EQ(cached[0].Encoder, "mpeg4");

    // ...and another library version probes again.
    ASSERT_TRUE(WriteStringValue(TSettingsHive::Machine, CodecsKey, "Version", "Lavc0.0.0/0"));
    const auto again = ListCodecInfos();
    ASSERT_EQ(again.size(), probed.size());
    for (std::size_t i = 0; i < again.size(); ++i) EXPECT_EQ(again[i].Line(), probed[i].Line());
}

TEST(Codecs, FourCCsArePaddedAndMatchedWithoutCase) {
    EXPECT_EQ(NormaliseFourCC("DIB"), "DIB ");
    EXPECT_EQ(NormaliseFourCC("XVID-long"), "XVID");
    EXPECT_TRUE(SameFourCC("xvid", "XVID"));
    EXPECT_TRUE(SameFourCC("CVID", "cvid"));
    EXPECT_TRUE(SameFourCC("dib", "DIB "));
    EXPECT_FALSE(SameFourCC("XVI", "XVID"));
    ASSERT_TRUE(FindCodec("dib").has_value());
    EXPECT_EQ(FindCodec("dib")->FourCC, "DIB ");
    EXPECT_EQ(FindCodec("h264")->Encoder, "libx264");
    EXPECT_FALSE(FindCodec("ZZZZ").has_value());
}

TEST(Codecs, OptionsHaveDefaultsAndAreStoredPerCodec) {
    TPrivateStore store;
    auto options = ReadCodecOptions("XVID");
    ASSERT_EQ(options.size(), 2u);
    EXPECT_EQ(options[0].Name, "Quantizer");
    EXPECT_EQ(options[0].Kind, TCodecOptionKind::Int);
    EXPECT_EQ(options[0].Default, 3);
    EXPECT_EQ(options[0].Value, 3);
    EXPECT_EQ(options[1].Name, "Key-frame interval");

    options[0].Value = 7;
    options[1].Value = 100000; // clamped into the range
    ASSERT_TRUE(WriteCodecOptions("xvid", options));
    auto stored = ReadCodecOptions("XVID");
    EXPECT_EQ(stored[0].Value, 7);
    EXPECT_EQ(stored[1].Value, stored[1].Max);
    EXPECT_EQ(ReadCodecOptions("FMP4")[0].Value, 3); // other codecs keep theirs
    EXPECT_EQ(
        ReadStringValue(TSettingsHive::Machine, std::string(CodecsKey) + "\\XVID", "Quantizer"),
        "7");

    ASSERT_TRUE(ResetCodecOptions("XVID"));
    EXPECT_EQ(ReadCodecOptions("XVID")[0].Value, 3);

    // A choice is stored by its text; a stored text that is no choice gives the default.
    auto h264 = ReadCodecOptions("H264");
    auto preset = std::find_if(h264.begin(), h264.end(),
                               [](const TCodecOption& o) { return o.Name == "Preset"; });
    ASSERT_NE(preset, h264.end());
    EXPECT_EQ(preset->Kind, TCodecOptionKind::Choice);
    EXPECT_EQ(preset->Choices[preset->Default], "fast");
    ASSERT_TRUE(WriteStringValue(TSettingsHive::Machine, std::string(CodecsKey) + "\\H264",
                                 "Preset", "placebo"));
    for (const auto& o : ReadCodecOptions("H264"))
        if (o.Name == "Preset") {
            EXPECT_EQ(o.Value, o.Default);
        }

    EXPECT_TRUE(ReadCodecOptions("DIB ").empty());
    EXPECT_THROW(WriteCodecOptions("ZZZZ", {}), EMorvantaError);
}

TEST(Codecs, QuantizerReachesTheEncoder) {
    TPrivateStore store;
    const TCodecInfo xvid = Need("XVID");
    auto sizeAt = [&](int q) {
        auto options = ReadCodecOptions("XVID");
        options[0].Value = q;
        WriteCodecOptions("XVID", options);
        TVideoEncoder encoder(xvid, 160, 120, 40);
        std::vector<TEncodedFrame> out;
        encoder.Encode(Pattern(160, 120, 1), out);
        encoder.Flush(out);
        std::size_t total = 0;
        for (const auto& f : out) total += f.Data.size();
        return total;
    };
    const std::size_t fine = sizeAt(2);
    const std::size_t coarse = sizeAt(31);
    ResetCodecOptions("XVID");
    EXPECT_GT(fine, coarse * 3);
}

TEST(Codecs, EncoderGivesOneFramePerPictureInOrder) {
    for (const char* fcc : {"H264", "XVID", "FFV1"}) {
        TVideoEncoder encoder(Need(fcc), 64, 48, 40);
        std::vector<TEncodedFrame> out;
        for (int i = 0; i < 6; ++i) encoder.Encode(Pattern(64, 48, i), out);
        encoder.Flush(out);
        ASSERT_EQ(out.size(), 6u) << fcc;
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(out[i].Index, i) << fcc;
            EXPECT_FALSE(out[i].Data.empty()) << fcc;
        }
        EXPECT_TRUE(out[0].Key) << fcc;
    }
}

TEST(Codecs, FormatIsABitmapHeaderWithTheCodecData) {
    TVideoEncoder dib(Need("DIB "), 30, 10, 40);
    const auto& f = dib.Format();
    ASSERT_EQ(f.size(), 40u);
    EXPECT_EQ(LE32(f, 0), 40u);
    EXPECT_EQ(LE32(f, 4), 30u);
    EXPECT_EQ(LE32(f, 8), 10u); // positive: bottom-up rows
    EXPECT_EQ(LE16(f, 12), 1u);
    EXPECT_EQ(LE16(f, 14), 24u);
    EXPECT_EQ(LE32(f, 16), 0u);        // BI_RGB
    EXPECT_EQ(LE32(f, 20), 92u * 10u); // rows of 90 bytes padded to 92

    std::vector<TEncodedFrame> out;
    TBitmap32 one(30, 10);
    std::fill(one.Pixels.begin(), one.Pixels.end(), PackRGB(1, 2, 3));
    one.At(0, 0) = PackRGB(10, 20, 30);
    dib.Encode(one, out);
    ASSERT_EQ(out.size(), 1u);
    ASSERT_EQ(out[0].Data.size(), 920u);
    // The top-left pixel is the first of the last row, stored blue, green, red.
    EXPECT_EQ(out[0].Data[9 * 92], 30);
    EXPECT_EQ(out[0].Data[9 * 92 + 1], 20);
    EXPECT_EQ(out[0].Data[9 * 92 + 2], 10);
    EXPECT_EQ(out[0].Data[0], 3);

    TVideoEncoder hfyu(Need("HFYU"), 64, 48, 40);
    const auto& h = hfyu.Format();
    ASSERT_GT(h.size(), 40u);
    EXPECT_EQ(h.size() % 2, 0u);
    EXPECT_GT(LE32(h, 0), 40u);
    EXPECT_LE(LE32(h, 0), h.size());
    EXPECT_EQ(std::memcmp(&h[16], "HFYU", 4), 0);

    TVideoEncoder x264(Need("H264"), 64, 48, 40);
    EXPECT_EQ(std::memcmp(&x264.Format()[16], "H264", 4), 0);
    EXPECT_EQ(x264.Format().size(), 40u); // headers travel in band
}

TEST(Codecs, WrongFrameSizeIsRefused) {
    TVideoEncoder encoder(Need("FMP4"), 64, 48, 40);
    std::vector<TEncodedFrame> out;
    EXPECT_THROW(encoder.Encode(Pattern(48, 64, 0), out), EMorvantaError);
    EXPECT_FALSE(CodecAccepts(Need("FMP4"), 0, 48, 40));
    EXPECT_TRUE(CodecAccepts(Need("FMP4"), 64, 48, 40));
}

TEST(Codecs, AboutNamesTheEncoderLibraryAndLicence) {
    const TCodecAbout about = CodecAbout("h264");
    EXPECT_NE(about.Name.find("H.264"), std::string::npos);
    EXPECT_EQ(about.Encoder, "libx264");
    EXPECT_EQ(about.Version.rfind("libavcodec ", 0), 0u);
    EXPECT_FALSE(about.Licence.empty());
    EXPECT_NE(about.Text().find(about.Licence), std::string::npos);
}

// What a codec that refuses a size or rate is said to need, found by trying its encoder, and
// the cases the layer makes work instead of refusing.
TEST(Codecs, RefusalNamesWhatTheCodecNeedsAndASizeOrRateThatWorks) {
    struct Row {
        const char* FourCC;
        int Width, Height, Period;
        const char* Refusal; // "" when the codec must take it
    };
    const Row rows[] = {
        {"XVID", 721, 577, 40, "XVID needs an even width and height: 721x577 \u2192 try 720x576"},
        {"H264", 33, 17, 33, "H264 needs an even width and height: 33x17 \u2192 try 32x16"},
        {"MSVC", 642, 480, 40,
         "MSVC needs a width and height that are multiples of 4: 642x480 \u2192 try 640x480"},
        // The encoder takes the size; the decoder rejects the frames.
        {"SHQ0", 722, 578, 33,
         "SHQ0 needs a width that is a multiple of 16: 722x578 \u2192 try 720x578"},
        // The decoder reads the frames but reports an error on each one.
        {"ZLIB", 642, 480, 40,
         "ZLIB needs a width that is a multiple of 4: 642x480 \u2192 try 640x480"},
        {"AMVF", 100, 75, 40,
         "AMVF needs a height that is a multiple of 16: 100x75 \u2192 try 100x64"},
        // MPEG-1/2 get a time base they take, never slower than the AVI's frame period...
        {"mpg2", 640, 480, 33, ""},
        {"mpg1", 100, 74, 1000, ""},
        {"mpg2", 100, 74, 16, ""},
        // ...and MPEG-1 has no rate above 60.
        {"mpg1", 100, 74, 16,
         "mpg1 does not take a frame period of 16 ms: 60 fps \u2192 try 58 fps"},
        // Tiny frames at 1 fps: a bit-rate floor keeps the encoder from dropping every frame.
        {"VP80", 32, 16, 1000, ""},
        {"DIB ", 33, 17, 1000, ""},
        {"FFV1", 33, 17, 142, ""},
    };
    for (const Row& row : rows) {
        const auto codec = FindCodec(row.FourCC);
        if (!codec) {
            // Only the well-known ones are certain in every FFmpeg build.
            EXPECT_EQ(std::string("XVID H264 DIB FFV1").find(row.FourCC), std::string::npos);
            continue;
        }
        EXPECT_EQ(CodecRefusal(*codec, row.Width, row.Height, row.Period), row.Refusal)
            << row.FourCC << " " << row.Width << "x" << row.Height << " " << row.Period << " ms";
    }
}

TEST(Codecs, APassedTrialIsRememberedForItsLibrariesOptionsAndSize) {
    TPrivateStore store;
    const TCodecInfo h264 = Need("H264");
    const std::string ini = SettingsFolder() + "/machine.ini";
    EXPECT_FALSE(TrialPassedBefore(h264, 160, 120, 40));
    ASSERT_EQ(CodecRefusal(h264, 160, 120, 40), "");
    EXPECT_TRUE(TrialPassedBefore(h264, 160, 120, 40));
    EXPECT_FALSE(TrialPassedBefore(h264, 160, 120, 33)) << "another frame period";
    EXPECT_FALSE(TrialPassedBefore(h264, 320, 240, 40)) << "another size";

    // A refusal is never kept: the user may change what the codec is given.
    const TCodecInfo xvid = Need("XVID");
    EXPECT_NE(CodecRefusal(xvid, 721, 577, 40), "");
    EXPECT_FALSE(TrialPassedBefore(xvid, 721, 577, 40));

    // A remembered pass stands in for the trial: forge one for a size the codec refuses.
    const auto bytes = test::ReadFile(ini);
    const std::string text(bytes.begin(), bytes.end());
    const std::string pass = "|160x120|";
    ASSERT_NE(text.find(pass), std::string::npos) << text;
    test::WriteText(ini, std::string(text).replace(text.find(pass), pass.size(), "|161x121|"));
    EXPECT_NE(CodecTrial(h264, 161, 121, 40), "");
    EXPECT_EQ(CodecRefusal(h264, 161, 121, 40), "");

    // Other libraries pass it again, and the new pass replaces the stale one.
    const std::string ident = CodecLibraryIdent();
    const std::size_t passIdent = text.find(ident, text.find(pass));
    ASSERT_NE(passIdent, std::string::npos);
    test::WriteText(ini, std::string(text).replace(passIdent, ident.size(), "Lavc0.0/0"));
    EXPECT_FALSE(TrialPassedBefore(h264, 160, 120, 40));
    EXPECT_EQ(CodecRefusal(h264, 160, 120, 40), "");
    EXPECT_TRUE(TrialPassedBefore(h264, 160, 120, 40));

    // Changed options are another trial.
    auto options = ReadCodecOptions("H264");
    ASSERT_FALSE(options.empty());
    options[0].Value = options[0].Value == options[0].Min ? options[0].Max : options[0].Min;
    ASSERT_TRUE(WriteCodecOptions("H264", options));
    EXPECT_FALSE(TrialPassedBefore(h264, 160, 120, 40));
}

TEST(Codecs, EveryListedCodecGivesBackEveryFrameOfAStillPicture) {
    // The list's probe renders a picture, its repeat and a change, decoded as a player reads
    // the AVI: a codec that writes a repeat as an empty frame (read back as no frame) is not
    // listed. 320x240 at 25 fps is the smallest of the window's sizes.
    for (const TCodecInfo& codec : ListCodecInfos())
        EXPECT_EQ(CodecTrial(codec, 320, 240, 40), "") << codec.Line();
}

// The render's worker converts into a ring of slots and shares a repeated frame's conversion
// with the slot before it. Whatever the encoder keeps of a frame, converting into a slot must
// never change the pixels of another slot or of a frame the encoder holds: the compressed
// frames are those of converting every frame on its own.
TEST(Codecs, SharedConversionsGiveTheSameFramesAsConvertingEach) {
    const std::vector<int> pictures = {0, 0, 0, 1, 1, 2, 2, 2, 2, 0, 3, 3};
    for (const char* fcc : {"FMP4", "XVID", "H264", "HFYU", "FFV1"}) {
        SCOPED_TRACE(fcc);
        const auto codec = FindCodec(fcc);
        if (!codec) continue; // not in this FFmpeg build
        TEncoderSetup setup;
        setup.Threads = 1; // the same bytes from both encoders
        const auto encode = [&](bool shared) {
            TVideoEncoder encoder(*codec, 96, 64, 40, setup);
            std::vector<TEncodedFrame> out;
            const std::unique_ptr<TFrameConverter> converter = encoder.MakeConverter();
            // The worker runs two frames ahead of the compression, as the render's does.
            constexpr std::size_t Ahead = 2;
            std::vector<TConvertedFrame> slots(Ahead + 1);
            const auto slot = [&](std::size_t i) -> TConvertedFrame& {
                return slots[i % slots.size()];
            };
            for (std::size_t i = 0; i < pictures.size() + Ahead; ++i) {
                if (i < pictures.size()) {
                    const TBitmap32 frame = Pattern(96, 64, pictures[i]);
                    if (!shared)
                        converter->Convert(frame, slot(i));
                    else if (i > 0 && pictures[i] == pictures[i - 1])
                        converter->CopyConverted(slot(i - 1), slot(i));
                    else
                        converter->Convert(frame, slot(i));
                }
                if (i >= Ahead) encoder.EncodeConverted(slot(i - Ahead), out);
            }
            encoder.Flush(out);
            return out;
        };
        const std::vector<TEncodedFrame> each = encode(false);
        const std::vector<TEncodedFrame> shared = encode(true);
        ASSERT_EQ(shared.size(), each.size());
        ASSERT_EQ(each.size(), pictures.size());
        for (std::size_t i = 0; i < each.size(); ++i) {
            EXPECT_EQ(shared[i].Index, each[i].Index);
            EXPECT_TRUE(shared[i].Data == each[i].Data) << "frame " << i;
        }
    }
}
