#pragma once
// What a render writes its frames into: the AVI writer, or the writer of the other containers.
// The frame loop, the run's file rules and the progress know only this.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/codec/U_Codecs.h"
#include "platform/image/U_Bitmap32.h"

// The frames' size and timing, and the file they go to.
struct TVideoFormat {
    int Width = 640;
    int Height = 480;
    int FrameDuration = 66; // milliseconds, 1000 div the frame rate: how frames are counted
    int FrameRate = 0;      // exact frames per second; 0: 1000 / FrameDuration, as the AVI says
    std::string FileName;
    // FileName is an empty file this render reserved: written in place, not beside.
    bool ReservedFile = false;
};

class TVideoWriter {
public:
    virtual ~TVideoWriter() = default;

    virtual void SetVideoFormat(const TVideoFormat& format) = 0;
    virtual int VideoWidth() const = 0;
    virtual int VideoHeight() const = 0;
    // Milliseconds per frame: the frame loop counts the frames of a picture with it.
    virtual int FramePeriodMs() const = 0;

    // A listed FourCC that this writer can store and that writes these frames; else throws.
    virtual void SetCodec(const std::string& fourcc) = 0;
    virtual void Open() = 0;
    virtual void AddFrame(const TBitmap32& bitmap) = 0;
    // A converter to the codec's pixel format for another thread (null when not needed), and
    // AddFrame for its output.
    virtual std::unique_ptr<TFrameConverter> MakeFrameConverter() const = 0;
    virtual void AddConvertedFrame(TConvertedFrame& frame) = 0;
    // Finishes the file with the frames written; after a failure only cleans up.
    virtual void Close() = 0;
    // Releases everything and removes the unfinished file.
    virtual void Abandon() = 0;
    virtual bool CanFinish() const = 0;
    virtual std::int32_t FramesAdded() const = 0;

    // The system's error behind the last failed file operation (0 for none), and an unfinished
    // file Abandon could not remove ("" for none).
    virtual int SystemError() const = 0;
    virtual std::string Leftover() const = 0;
    virtual void ClearErrors() = 0;

protected:
    // For the writers' destructors, which cannot report: a healthy file is finished, a failed
    // or unfinishable one removed, so that no unfinished file stays behind.
    void CloseOrAbandon(bool failed, bool closed) noexcept {
        try {
            if (failed)
                Abandon();
            else if (!closed)
                Close();
        } catch (...) {
            try {
                Abandon();
            } catch (...) {
            }
        }
    }
};
