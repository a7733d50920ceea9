#pragma once
// TBmpToAvi: writes a video-only AVI, one compressed frame per call, with a codec chosen by
// its FourCC. The file is written beside the output and renamed over it by Close, so a failed
// render never destroys an older video at the output path.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/avi/U_AviFile.h"
#include "platform/codec/U_Codecs.h"
#include "platform/image/U_Bitmap32.h"
#include "video/U_VideoWriter.h"

class TVideoEncoder;

class TBmpToAvi : public TVideoWriter {
public:
    int Width = -1;
    int Height = -1;
    int FrameDuration = -1; // milliseconds per frame, the stream's scale
    bool IsOpen = false;    // between a successful Open and Close
    bool IsClosed = false;  // Close has run since the last Open
    std::string FileName;
    std::string Codec; // FourCC, 4 characters; empty for none
    AviResult LastResult = 0;
    int LastErrno = 0; // the system's error behind the last failed file operation, 0 for none
    // An unfinished file that Abandon could not remove (its folder became read-only), or "".
    std::string LeftoverFile;
    // Passed to the AVI writer by Open (tests use a small segment limit).
    TAviWriterOptions WriterOptions;
    // FileName is an empty file reserved for this render: written in place, so that a killed
    // render leaves its frames under that name rather than in a work file beside it.
    bool InPlace = false;

    TBmpToAvi();
    ~TBmpToAvi() override; // Close unless closed; Abandon after a failure
    TBmpToAvi(const TBmpToAvi&) = delete;
    TBmpToAvi& operator=(const TBmpToAvi&) = delete;

    // Clears `strings` and fills it with "FCC description" lines.
    void ListCodecs(std::vector<std::string>& strings) const;
    // Empty: no codec. Otherwise a listed FourCC (padded, case-insensitive) that writes frames
    // of Width x Height at FrameDuration, or "No compressor for " + s + " available" (with a
    // second line naming what the codec needs when it is listed but refuses them), with Codec
    // unchanged.
    void SetCodec(const std::string& s) override;

    // The chosen codec's options (empty when none or nothing to configure) and their storage.
    std::vector<TCodecOption> CodecOptions() const;
    bool SetCodecOptions(const std::vector<TCodecOption>& options) const;
    // The chosen codec's about text (name, library version, licence); empty without a codec.
    std::string CodecAboutText() const;

    // Creates the stream in a new file beside FileName and opens the compressor.
    void Open() override;
    // Compresses one frame of Width x Height and writes it at the next position (from 0).
    void AddFrame(const TBitmap32& bitmap) override;
    // For frame loops that convert frames on another thread, after Open: a converter to the
    // codec's pixel format (null when AddFrame takes the frames as they are, or when the file
    // is not open), and AddFrame for
    // its output. The file is the same as with AddFrame.
    std::unique_ptr<TFrameConverter> MakeFrameConverter() const override;
    void AddConvertedFrame(TConvertedFrame& frame) override;
    // Drains the compressor, finishes the file and renames it over FileName. After a failed
    // Open or AddFrame it only releases everything and removes the unfinished file.
    void Close() override;
    // Releases everything and removes the unfinished file; an older output survives.
    void Abandon() override;
    // Open, and no compression or write has failed since: Close can still finish the file with
    // the frames written so far.
    bool CanFinish() const override { return IsOpen && !failed_; }

    // Frames handed to AddFrame since Open.
    std::int32_t FramesAdded() const override { return framesAdded_; }
    // The file being written between Open and Close ("" otherwise).
    const std::string& WorkFileName() const { return workFile_; }

    // The writer seam: the fields above under the interface's names.
    void SetVideoFormat(const TVideoFormat& format) override;
    int VideoWidth() const override { return Width; }
    int VideoHeight() const override { return Height; }
    int FramePeriodMs() const override { return FrameDuration; }
    int SystemError() const override { return LastErrno; }
    std::string Leftover() const override { return LeftoverFile; }
    void ClearErrors() override {
        LastErrno = 0;
        LeftoverFile.clear();
    }

private:
    void Release();
    void WritePending();
    void Compress(const std::function<void()>& encode);
    void EncodeChecked(const std::function<void()>& encode);

    std::unique_ptr<TAviWriter> avi_;
    std::unique_ptr<TVideoEncoder> encoder_;
    int stream_ = -1;
    std::string workFile_;
    std::int32_t framesAdded_ = 0;
    std::int32_t nextPosition_ = 0;
    bool failed_ = false;
    bool opened_ = false; // Open ran once (Close releases only what it created)
    std::vector<TEncodedFrame> pending_;
};
