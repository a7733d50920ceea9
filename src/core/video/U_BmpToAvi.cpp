#include "video/U_BmpToAvi.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <system_error>

#include "platform/base/U_Errors.h"
#include "platform/container/U_Container.h"

namespace {

constexpr const char* Unit = "U_BmpToAvi";
// Work files tried beside the output before giving up.
constexpr int MaxWorkFiles = 100;

std::string WorkFileCandidate(const std::string& output, int attempt) {
    if (attempt == 0) return output + ".part";
    return output + "." + std::to_string(attempt) + ".part";
}

AVISTREAMINFO VideoStreamInfo(const std::string& codec, int width, int height, int duration) {
    AVISTREAMINFO info;
    info.fccType = streamtypeVIDEO;
    info.fccHandler = StringToFourCC(codec);
    info.dwFlags = 12;
    info.dwScale = static_cast<std::uint32_t>(duration);
    info.dwRate = 1000;
    info.dwQuality = 10000;
    info.rcFrame = {0, 0, width, height};
    std::strncpy(info.szName, "Main Video Stream", sizeof info.szName - 1);
    return info;
}

} // namespace

TBmpToAvi::TBmpToAvi() = default;

TBmpToAvi::~TBmpToAvi() {
    CloseOrAbandon(failed_, IsClosed);
}

void TBmpToAvi::ListCodecs(std::vector<std::string>& strings) const {
    strings.clear();
    for (const TCodecInfo& codec : ListCodecInfos())
        if (ContainerHolds(TContainer::Avi, codec)) strings.push_back(codec.Line());
}

void TBmpToAvi::SetCodec(const std::string& s) {
    if (s.empty()) {
        Codec.clear();
        return;
    }
    const std::string missing = "No compressor for " + s + " available";
    const auto codec = FindCodec(s);
    if (!codec) throw EMorvantaError(missing);
    if (!ContainerHolds(TContainer::Avi, *codec))
        throw EMorvantaError(missing + "\n" +
                             ContainerRefusal(TContainer::Avi, *codec, ListCodecInfos()));
    // The codec must write this writer's frames, not only the probe's; a second line says what
    // it needs instead.
    if (Width > 0 && Height > 0) {
        const std::string refusal =
            CodecRefusal(*codec, Width, Height, FrameDuration > 0 ? FrameDuration : 40);
        if (!refusal.empty()) throw EMorvantaError(missing + "\n" + refusal);
    }
    Codec = codec->FourCC;
}

void TBmpToAvi::SetVideoFormat(const TVideoFormat& format) {
    // The AVI's rate is 1000 / FrameDuration; an exact rate has no field to go to.
    Width = format.Width;
    Height = format.Height;
    FrameDuration = format.FrameDuration;
    FileName = format.FileName;
    InPlace = format.ReservedFile;
}

std::vector<TCodecOption> TBmpToAvi::CodecOptions() const {
    if (Codec.empty()) return {};
    return ReadCodecOptions(Codec);
}

bool TBmpToAvi::SetCodecOptions(const std::vector<TCodecOption>& options) const {
    if (Codec.empty()) return true;
    return WriteCodecOptions(Codec, options);
}

std::string TBmpToAvi::CodecAboutText() const {
    if (Codec.empty()) return {};
    return CodecAbout(Codec).Text();
}

void TBmpToAvi::Open() {
    Close();
    if (Width <= 0 || Height <= 0 || FrameDuration <= 0 || FileName.empty() || Codec.empty())
        RaiseAssert("Open failed: size, frame duration, file name and codec must be set", Unit);
    opened_ = true;
    failed_ = true; // until the end of Open: Close and the destructor then clean up
    IsClosed = false;
    framesAdded_ = 0;
    nextPosition_ = 0;
    LastErrno = 0;
    LeftoverFile.clear();
    pending_.clear();

    std::error_code ec;
    if (std::filesystem::is_directory(FileName, ec)) {
        LastResult = AVIERR_FILEOPEN;
        LastErrno = EISDIR;
        RaiseAssert("FileOpen failed. Err: " + HexCode(LastResult), Unit);
    }
    // A new file beside the output; the output itself is replaced only by Close.
    avi_ = std::make_unique<TAviWriter>();
    if (InPlace) {
        LastResult = avi_->Create(FileName, false, WriterOptions);
        if (LastResult != AVIERR_OK) {
            LastErrno = avi_->LastErrno();
            RaiseAssert("FileOpen failed. Err: " + HexCode(LastResult), Unit);
        }
        workFile_ = FileName;
    }
    for (int attempt = 0; !InPlace; ++attempt) {
        const std::string candidate = WorkFileCandidate(FileName, attempt);
        LastResult = avi_->Create(candidate, true, WriterOptions);
        if (LastResult == AVIERR_OK) {
            workFile_ = candidate;
            break;
        }
        LastErrno = avi_->LastErrno();
        if (LastErrno != EEXIST || attempt + 1 >= MaxWorkFiles)
            RaiseAssert("FileOpen failed. Err: " + HexCode(LastResult), Unit);
    }

    LastResult = avi_->CreateStream(VideoStreamInfo(Codec, Width, Height, FrameDuration), stream_);
    if (LastResult != AVIERR_OK)
        RaiseAssert("CreateStream failed. Err: " + HexCode(LastResult), Unit);

    const auto codec = FindCodec(Codec);
    if (!codec) RaiseAssert("ICOpen failed.", Unit);
    try {
        encoder_ = std::make_unique<TVideoEncoder>(
            *codec, Width, Height, FrameDuration,
            TEncoderSetup{.StateColours = AviStatesColours(*codec, Width, Height)});
    } catch (const EMorvantaError& e) {
        RaiseAssert(std::string("ICOpen failed. ") + e.what(), Unit);
    }

    const auto& format = encoder_->Format();
    LastResult = avi_->SetFormat(stream_, format.data(), format.size());
    if (LastResult != AVIERR_OK)
        RaiseAssert("StreamSetFormat failed. Err: " + HexCode(LastResult), Unit);

    failed_ = false;
    IsOpen = true;
}

void TBmpToAvi::AddFrame(const TBitmap32& bitmap) {
    Compress([&] {
        if (bitmap.Width != Width || bitmap.Height != Height)
            RaiseAssert("GetObject failed : the frame is " + std::to_string(bitmap.Width) + "x" +
                            std::to_string(bitmap.Height) + ", the video " + std::to_string(Width) +
                            "x" + std::to_string(Height),
                        Unit);
        EncodeChecked([&] { encoder_->Encode(bitmap, pending_); });
    });
}

std::unique_ptr<TFrameConverter> TBmpToAvi::MakeFrameConverter() const {
    // Without an open file AddFrame reports the fault, as it always has.
    if (!IsOpen || !encoder_) return nullptr;
    return encoder_->MakeConverter();
}

void TBmpToAvi::AddConvertedFrame(TConvertedFrame& frame) {
    Compress([&] { EncodeChecked([&] { encoder_->EncodeConverted(frame, pending_); }); });
}

// One frame's work: a failure marks the file as failed, so Close only cleans up.
void TBmpToAvi::Compress(const std::function<void()>& encode) {
    if (!IsOpen) RaiseAssert("AddFrame failed: the file is not open", Unit);
    try {
        encode();
        ++framesAdded_;
        WritePending();
    } catch (...) {
        failed_ = true;
        throw;
    }
}

// The encoder's own errors become the compressor's assertion.
void TBmpToAvi::EncodeChecked(const std::function<void()>& encode) {
    try {
        encode();
    } catch (const EAssertionFailed&) {
        throw;
    } catch (const EMorvantaError& e) {
        RaiseAssert(std::string("ICCompress failed. ") + e.what(), Unit);
    }
}

void TBmpToAvi::WritePending() {
    for (const TEncodedFrame& f : pending_) {
        // Positions follow the picture frames: the k-th frame goes to position k.
        const auto position =
            std::max<std::int32_t>(static_cast<std::int32_t>(f.Index), nextPosition_);
        LastResult = avi_->Write(stream_, position, f.Data.data(), f.Data.size(),
                                 f.Key ? AVIIF_KEYFRAME : 0);
        if (LastResult != AVIERR_OK) {
            LastErrno = avi_->LastErrno();
            RaiseAssert("StreamWrite failed. Err: " + HexCode(LastResult), Unit);
        }
        nextPosition_ = position + 1;
    }
    if (encoder_)
        encoder_->Recycle(pending_);
    else
        pending_.clear();
}

void TBmpToAvi::Close() {
    if (failed_) {
        Abandon();
        return;
    }
    if (IsOpen) {
        try {
            try {
                encoder_->Flush(pending_);
            } catch (const EMorvantaError& e) {
                RaiseAssert(std::string("ICCompress failed. ") + e.what(), Unit);
            }
            WritePending();
            // An encoder that dropped the last frames still leaves one sample per frame.
            if (nextPosition_ < framesAdded_) {
                LastResult = avi_->Write(stream_, framesAdded_ - 1, nullptr, 0, 0);
                LastErrno = avi_->LastErrno();
                if (LastResult != AVIERR_OK)
                    RaiseAssert("StreamWrite failed. Err: " + HexCode(LastResult), Unit);
            }
            encoder_.reset();
            LastResult = avi_->Close();
            LastErrno = avi_->LastErrno();
            if (LastResult != AVIERR_OK)
                RaiseAssert("FileClose failed. Err: " + HexCode(LastResult), Unit);
            avi_.reset();
            std::error_code ec;
            if (workFile_ != FileName) std::filesystem::rename(workFile_, FileName, ec);
            if (ec) {
                LastErrno = ec.value();
                RaiseAssert("Rename failed : " + ec.message(), Unit);
            }
            workFile_.clear();
        } catch (...) {
            Abandon();
            throw;
        }
    }
    Release();
    IsOpen = false;
    IsClosed = true;
}

void TBmpToAvi::Abandon() {
    Release();
    if (!workFile_.empty()) {
        std::error_code ec;
        if (!std::filesystem::remove(workFile_, ec) && ec) LeftoverFile = workFile_;
        workFile_.clear();
    }
    failed_ = false;
    IsOpen = false;
    IsClosed = true;
}

void TBmpToAvi::Release() {
    encoder_.reset();
    avi_.reset(); // closes the file if still open
    stream_ = -1;
    pending_.clear();
}
