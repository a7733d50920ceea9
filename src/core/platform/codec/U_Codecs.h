#pragma once
// The codec layer: the machine's video compressors, over libavcodec and libswscale.
// Each usable encoder that has an AVI FourCC is one entry; "DIB " is uncompressed 24-bit RGB.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/image/U_Bitmap32.h"

struct AVCodecParameters;

// Settings key under which the probed list is cached, one sub-key per FourCC for its options.
inline constexpr const char* CodecsKey = "SOFTWARE\\Tavrell\\Morvanta\\Codecs";

// One entry of the codec list.
struct TCodecInfo {
    std::string FourCC;      // 4 characters, as written in the stream header
    std::string Description; // the encoder's long name
    std::string Encoder;     // libavcodec encoder name; "" for "DIB "
    std::string PixelFormat; // the encoder's input pixel format (av_get_pix_fmt_name)
    std::string Line() const { return FourCC + " " + Description; }
};

// The first four characters of `fourcc`, padded with blanks.
std::string NormaliseFourCC(const std::string& fourcc);
// Case-insensitive comparison of two FourCCs after padding.
bool SameFourCC(const std::string& a, const std::string& b);
// An encoder that drives a device (a graphics card's: "h264_nvenc", "hevc_qsv", "h264_vaapi").
bool IsHardwareEncoder(const std::string& encoder);

// The usable codecs, well-known ones first. The probe runs once per libavcodec version; its
// result is cached in the settings store.
std::vector<TCodecInfo> ListCodecInfos();
// Forces a new probe (ignores and rewrites the cache).
std::vector<TCodecInfo> ProbeCodecInfos();
// The listed codec matching `fourcc` (padded, case-insensitive), if any.
std::optional<TCodecInfo> FindCodec(const std::string& fourcc);

// ---- Per-codec options, stored under CodecsKey\<FCC> ----

enum class TCodecOptionKind { Int, Bool, Choice };

struct TCodecOption {
    std::string Name; // value name in the settings store, also the dialog's label
    TCodecOptionKind Kind = TCodecOptionKind::Int;
    int Min = 0; // Int: range; Bool: 0..1; Choice: 0..Choices.size()-1
    int Max = 0;
    int Default = 0;
    int Value = 0;                    // current value (stored, else Default)
    std::vector<std::string> Choices; // Choice: the texts, Value is an index
    std::string Hint;                 // a short explanation for the dialog
};

// The options of a codec with their stored values; empty when it has nothing to configure or
// is not listed.
std::vector<TCodecOption> ReadCodecOptions(const std::string& fourcc);
// Stores the values of `options` matched by name (clamped into their ranges). Returns false
// when the store cannot be written; throws EMorvantaError for a codec that is not listed.
bool WriteCodecOptions(const std::string& fourcc, const std::vector<TCodecOption>& options);
// Clears the stored values, so the defaults apply again.
bool ResetCodecOptions(const std::string& fourcc);
// CodecAbout throws EMorvantaError for a codec that is not listed.

// What the codec's about box shows.
struct TCodecAbout {
    std::string Name;         // encoder's long name
    std::string Encoder;      // libavcodec encoder name
    std::string Version;      // "libavcodec 59.37.100"
    std::string Licence;      // avcodec_license()
    std::string Text() const; // the lines above, one per line
};
TCodecAbout CodecAbout(const std::string& fourcc);

// ---- Encoding ----

// A trial render of a few frames of `width` x `height` at `frameDuration` ms, decoded back as
// a player reading the AVI would. "" when every frame comes back at that size; otherwise why not.
std::string CodecTrial(const TCodecInfo& codec, int width, int height, int frameDuration);
// CodecTrial(...) is "".
bool CodecAccepts(const TCodecInfo& codec, int width, int height, int frameDuration);
// "" when `codec` writes these frames; otherwise one line that names what the codec needs and a
// size or rate that works, found by trying the encoder ("XVID needs an even width and height:
// 721x577 → try 720x576"). Several trials when the codec refuses: call before the first frame.
std::string CodecRefusal(const TCodecInfo& codec, int width, int height, int frameDuration);

// One compressed frame.
struct TEncodedFrame {
    std::int64_t Index = 0; // picture frame number, from 0
    std::vector<std::uint8_t> Data;
    bool Key = false;
};

// A frame already in an encoder's pixel format, made by TFrameConverter. Its buffer is reused
// from frame to frame.
class TConvertedFrame {
public:
    TConvertedFrame();
    ~TConvertedFrame();
    TConvertedFrame(const TConvertedFrame&) = delete;
    TConvertedFrame& operator=(const TConvertedFrame&) = delete;

private:
    friend class TFrameConverter;
    friend class TVideoEncoder;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The colour conversion of one encoder, on its own: frame loops convert on one thread while
// the encoder compresses on another. Gives exactly the pixels Encode would. One per thread.
class TFrameConverter {
public:
    ~TFrameConverter();
    TFrameConverter(const TFrameConverter&) = delete;
    TFrameConverter& operator=(const TFrameConverter&) = delete;

    // `frame` must be the encoder's size. Throws EMorvantaError.
    void Convert(const TBitmap32& frame, TConvertedFrame& into);
    // `into` becomes `from` (converted by this converter), sharing its pixels: the conversion
    // of a frame equal to the one `from` was made of, without converting or copying again.
    void CopyConverted(const TConvertedFrame& from, TConvertedFrame& into);

private:
    friend class TVideoEncoder;
    struct Impl;
    explicit TFrameConverter(std::unique_ptr<Impl> impl);
    void Allocate(TConvertedFrame& into) const;
    std::unique_ptr<Impl> impl_;
};

// How an encoder is opened beyond its codec, size and frame period.
struct TEncoderSetup {
    // Exact frames per second; 0: the AVI's 1000 / frameDuration.
    int FrameRate = 0;
    // The codec's headers once in the stream's parameters (MP4, MKV), not in every key frame.
    bool GlobalHeader = false;
    // The RGB to YUV matrix said in the stream (BT.601 up to 720x576, BT.709 above, limited
    // range), and the frames converted with it. Off: BT.601, nothing said, as the AVI always had.
    bool StateColours = false;
    // Encoder threads; 0 lets the encoder choose. A trial of a few tiny frames takes one: some
    // encoders' threads spin while they wait, which starves a busy machine.
    int Threads = 0;
};

// Frames larger than 720x576 are HD: their colours are BT.709.
bool IsHdSize(int width, int height);
// The AVI states colours only for H.264 and HEVC in HD, which players would otherwise read with
// the wrong matrix.
bool AviStatesColours(const TCodecInfo& codec, int width, int height);

// Compresses 32-bit frames with one codec. One compressed frame per picture frame, in display
// order (no B-frames); frames held back by the encoder come out of Flush.
class TVideoEncoder {
public:
    // Opens the encoder for `codec` with its stored options. Throws EMorvantaError.
    TVideoEncoder(const TCodecInfo& codec, int width, int height, int frameDuration,
                  const TEncoderSetup& setup = {});
    ~TVideoEncoder();
    TVideoEncoder(const TVideoEncoder&) = delete;
    TVideoEncoder& operator=(const TVideoEncoder&) = delete;

    // The stream format: a 40-byte BITMAPINFOHEADER followed by the codec's extra data.
    const std::vector<std::uint8_t>& Format() const;
    // Compresses `frame` (Width x Height); appends whatever compressed frames are ready.
    void Encode(const TBitmap32& frame, std::vector<TEncodedFrame>& out);
    // Drains the encoder; appends the remaining compressed frames.
    void Flush(std::vector<TEncodedFrame>& out);
    // The opened encoder's parameters for a muxer's stream (codec, size, colours, headers).
    // Throws EMorvantaError for uncompressed frames, which have no encoder.
    void CopyParameters(AVCodecParameters* parameters) const;
    // Takes back the buffers of frames already written and clears `written`: the next frames
    // reuse them instead of allocating.
    void Recycle(std::vector<TEncodedFrame>& written);

    // A converter to this encoder's pixel format; null when Encode takes frames as they are.
    std::unique_ptr<TFrameConverter> MakeConverter() const;
    // Encode for a frame converted by one of this encoder's converters.
    void EncodeConverted(TConvertedFrame& frame, std::vector<TEncodedFrame>& out);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
