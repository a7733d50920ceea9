#pragma once
// MPEG audio reader of the soundtrack facade: finds the frames of a file and sums their
// playing times. Nothing is decoded.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "audio/U_AudioFile.h"

class TMpegAudioFile : public TAbstractAudioFile {
public:
    // Finds the first frame; raises "Invalid MPEG file %s" when there is none or the file
    // cannot be read.
    explicit TMpegAudioFile(const std::string& path);
    ~TMpegAudioFile() override;

    std::int32_t Channels() override { return channels_; }
    std::int64_t DataSize() override;
    std::int32_t SampleRate() override { return sampleRate_; }
    std::int32_t BitsPerSample() override { return 16; }

    // Frames counted so far (all of them once DataSize has run).
    std::int64_t FramesCounted() const { return frames_; }
    // Sum of the counted frames' playing times, in seconds.
    long double TotalSeconds() const { return totalSeconds_; }

private:
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };

    // Copies `count` bytes at `offset` into `out`; false past the end.
    bool ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t count);
    // Next frame from `offset`: its start and length, or false when the search ends.
    bool Search(std::uint64_t offset, std::uint64_t& start, std::int32_t& length);
    std::uint64_t FirstSearchStart();
    void Count(std::uint64_t start, std::int32_t length);

    std::string path_;
    std::unique_ptr<std::FILE, FileCloser> file_;
    std::uint64_t size_ = 0;
    std::vector<std::uint8_t> block_;
    std::uint64_t blockStart_ = 0;

    std::int32_t channels_ = 0;
    std::int32_t sampleRate_ = 0;
    std::uint64_t next_ = 0; // where the next search starts
    bool scanned_ = false;
    std::int64_t frames_ = 0;
    long double totalSeconds_ = 0;
};
