#pragma once
// TMediaWriter: the video of an MP4, MKV or WebM file, written by libavformat from the same
// frames and the same encoders as the AVI. The container follows FileName's extension.
//
// While the frames come, an MP4 is written in fragments of about a second and an MKV or WebM
// cluster by cluster, each flushed to the file: a render killed outright leaves a file that
// plays up to its last second or so. The finished MP4 is made index-first by the run's last
// step (U_MediaFinish), which also adds the soundtrack.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/codec/U_Codecs.h"
#include "video/U_VideoWriter.h"

class TMediaWriter : public TVideoWriter {
public:
    TMediaWriter();
    ~TMediaWriter() override; // Close unless closed; Abandon after a failure
    TMediaWriter(const TMediaWriter&) = delete;
    TMediaWriter& operator=(const TMediaWriter&) = delete;

    void SetVideoFormat(const TVideoFormat& format) override;
    int VideoWidth() const override { return format_.Width; }
    int VideoHeight() const override { return format_.Height; }
    int FramePeriodMs() const override { return format_.FrameDuration; }

    // A listed FourCC that the container holds and that writes these frames; else throws
    // EMorvantaError naming what fits.
    void SetCodec(const std::string& fourcc) override;
    void Open() override;
    void AddFrame(const TBitmap32& bitmap) override;
    std::unique_ptr<TFrameConverter> MakeFrameConverter() const override;
    void AddConvertedFrame(TConvertedFrame& frame) override;
    void Close() override;
    void Abandon() override;
    bool CanFinish() const override { return isOpen_ && !failed_; }
    std::int32_t FramesAdded() const override { return framesAdded_; }

    int SystemError() const override { return lastErrno_; }
    std::string Leftover() const override { return leftover_; }
    void ClearErrors() override {
        lastErrno_ = 0;
        leftover_.clear();
    }

    bool IsOpen() const { return isOpen_; }

private:
    struct Impl;
    void Compress(const std::function<void()>& encode);
    void WritePending();
    void Release();

    TVideoFormat format_;
    std::optional<TCodecInfo> codec_;
    std::unique_ptr<Impl> impl_;
    std::vector<TEncodedFrame> pending_;
    std::int32_t framesAdded_ = 0;
    bool isOpen_ = false;
    bool failed_ = false;
    bool closed_ = true;
    bool created_ = false; // FileName was created or truncated by Open: Abandon removes it
    int lastErrno_ = 0;
    std::string leftover_;
};
