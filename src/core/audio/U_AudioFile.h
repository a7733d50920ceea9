#pragma once
// The soundtrack facade: picks a reader by the file name and tells how long the file plays.
#include <cstdint>
#include <memory>
#include <string>

// What every audio reader tells about its file.
class TAbstractAudioFile {
public:
    virtual ~TAbstractAudioFile() = default;
    virtual std::int32_t Channels() = 0;
    // Bytes of the whole file decoded to PCM at BitsPerSample.
    virtual std::int64_t DataSize() = 0;
    virtual std::int32_t SampleRate() = 0;
    virtual std::int32_t BitsPerSample() = 0;
};

// The playing time in days from a reader's four values, in the facade's order of operations.
double PlayingDays(TAbstractAudioFile& reader);

// Reader kinds, by file name.
enum : int {
    akNone = 0,
    akWav = 1,
    akMpeg = 3,
    akWma = 4,
    akOgg = 5,
    akApe = 6,
    akAc3 = 7,
    akMpc = 8,
};

// Case-insensitive match of the whole `text` against `mask` ("*" any run, "[abc]" one of).
bool MatchesMask(const std::string& text, const std::string& mask);

class TAudioFile {
public:
    TAudioFile();
    ~TAudioFile();
    TAudioFile(const TAudioFile&) = delete;
    TAudioFile& operator=(const TAudioFile&) = delete;

    // Ignored while open.
    void SetFileName(const std::string& name);
    const std::string& FileName() const { return fileName_; }
    int FileKind() const { return fileKind_; }
    bool IsOpen() const { return reader_ != nullptr; }

    // False for an unrecognised name; raises the reader's error when the file cannot be read,
    // and "not supported" for kinds this build has no reader for.
    bool Open();
    bool Close();
    // Playing time in days (0 when the file cannot be opened as a known kind).
    double Duration();

private:
    std::string fileName_;
    int fileKind_ = akNone;
    std::unique_ptr<TAbstractAudioFile> reader_;
};
