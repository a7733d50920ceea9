#pragma once
// Scans an MP3 file once and records where each MPEG audio frame lies, so that the file can be
// cut into one AVI audio chunk per frame without decoding anything.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "audio/U_MP3Header.h"

class TMP3FrameExtract {
public:
    explicit TMP3FrameExtract(std::string fileName) : fileName_(std::move(fileName)) {}

    // Reads and scans the whole file. Raises EMorvantaError when the file cannot be read.
    void Load();

    const std::string& FileName() const { return fileName_; }
    // Recorded frame ends - 1 (so -1 when no frame was found).
    std::int32_t FrameCount() const { return static_cast<std::int32_t>(starts_.size()) - 1; }
    // End of frame `index` (0 <= index < FrameCount), else -1.
    std::int64_t FrameOffset(std::int32_t index) const;
    // FrameOffset(index + 1) - FrameOffset(index) when 0 <= index < FrameCount - 1, else -1.
    std::int32_t FrameSize(std::int32_t index) const;
    int BitRate() const { return firstHeader_ ? firstHeader_->BitRate() : 0; }
    int Channels() const { return firstHeader_ ? firstHeader_->Channels() : 0; }
    int SampleRate() const { return firstHeader_ ? firstHeader_->SampleRate() : 0; }
    const std::optional<TMP3Header>& FirstHeader() const { return firstHeader_; }

    // Every frame found, in file order: where it starts and how long it is.
    std::size_t FramesFound() const { return starts_.size(); }
    std::int64_t FrameStart(std::size_t index) const { return starts_.at(index); }
    std::int32_t FrameLength(std::size_t index) const { return lengths_.at(index); }
    // Index of the first frame that carries sound: 1 when the first frame is an encoder's
    // Xing/Info/VBRI frame (a valid frame that only describes the file) and more follow.
    std::size_t FirstAudioFrame() const { return infoFrame_ && starts_.size() > 1 ? 1 : 0; }

    // Percent of the file scanned, every 10 frames.
    std::function<void(TMP3FrameExtract& sender, std::uint8_t percent)> OnProgress;
    // Asked after every frame but the first; true stops the scan (what was found stays).
    std::function<bool()> OnQueryAbort;

private:
    bool FindNextFrame(const std::vector<std::uint8_t>& data);
    bool IsConfirmed(const std::vector<std::uint8_t>& data, std::size_t end,
                     const TMP3Header& header) const;

    std::string fileName_;
    std::vector<std::int64_t> starts_;
    std::vector<std::int32_t> lengths_;
    std::optional<TMP3Header> firstHeader_;
    std::size_t position_ = 0;
    bool finished_ = false;
    bool infoFrame_ = false;
};

// True when the Layer III frame `frame` (of `size` bytes, header `header`) is an encoder's
// Xing, Info or VBRI frame.
bool IsInfoFrame(const std::uint8_t* frame, std::size_t size, const TMP3Header& header);

// Size of the ID3v2 tag at the start of `data` (header, body and footer), bounded by `size`;
// 0 when there is none.
std::size_t Id3v2TagSize(const std::uint8_t* data, std::size_t size);

// The whole content of a file, read with a check that the size announced is what arrives.
// Raises EMorvantaError naming the file when it cannot be opened or read.
std::vector<std::uint8_t> ReadWholeFile(const std::string& path);
