#include "audio/U_Mux.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "audio/U_MP3FrameExtract.h"
#include "audio/U_MP3Header.h"
#include "platform/avi/U_AviFile.h"
#include "platform/base/U_Errors.h"

namespace {

constexpr const char* kUnit = "U_MuxThd";
constexpr std::uint16_t WAVE_FORMAT_MPEG = 0x50;
constexpr std::uint16_t WAVE_FORMAT_MPEGLAYER3 = 0x55;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

std::string FailureText(const char* step, AviResult result) {
    return std::string(step) + " failed. Err: " + HexCode(result);
}

void Check(AviResult result, const char* step, TCallerLine where = {}) {
    if (result != AVIERR_OK) RaiseAssert(FailureText(step, result), kUnit, where);
}

// The output's steps also name the system's reason (a full disk, a file-size limit).
void CheckOutput(const TAviWriter& output, AviResult result, const char* step,
                 TCallerLine where = {}) {
    if (result == AVIERR_OK) return;
    const int err = output.LastErrno();
    RaiseAssert(FailureText(step, result) + (err != 0 ? " (" + SystemErrorText(err) + ")" : ""),
                kUnit, where);
}

void Put16(std::vector<std::uint8_t>& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Put16(out, v & 0xFFFFu);
    Put16(out, v >> 16);
}

// Progress and log as the thread reports them: every report carries the last logged line.
class TReporter {
public:
    explicit TReporter(const TMuxEvents& events) : events_(events) {}
    void Log(const std::string& text) {
        text_ = text;
        if (events_.OnLog) events_.OnLog(text);
    }
    void Progress(std::int32_t position, std::int32_t max) {
        if (events_.OnProgress) events_.OnProgress(position, max, text_);
    }
    bool Stop() const { return events_.StopRequested && events_.StopRequested(); }

private:
    const TMuxEvents& events_;
    std::string text_;
};

AVISTREAMINFO AudioStreamInfo(const TMP3Header& first) {
    AVISTREAMINFO info;
    info.fccType = streamtypeAUDIO;
    info.dwScale = static_cast<std::uint32_t>(first.SamplesPerFrame());
    info.dwRate = static_cast<std::uint32_t>(first.SampleRate());
    return info;
}

} // namespace

std::vector<std::uint8_t> MakeAudioFormat(const TMP3Header& first) {
    const bool layer2 = first.LayerIndex() == 1;
    std::vector<std::uint8_t> f;
    Put16(f, layer2 ? WAVE_FORMAT_MPEG : WAVE_FORMAT_MPEGLAYER3); /* wFormatTag */
    Put16(f, static_cast<unsigned>(first.Channels()));            /* nChannels */
    Put32(f, static_cast<std::uint32_t>(first.SampleRate()));     /* nSamplesPerSec */
    Put32(f, static_cast<std::uint32_t>(first.BitRate() / 8));    /* nAvgBytesPerSec */
    Put16(f, static_cast<unsigned>(first.SamplesPerFrame()));     /* nBlockAlign */
    Put16(f, 0);                                                  /* wBitsPerSample */
    const std::uint32_t word = first.HeaderWord();
    if (layer2) {
        Put16(f, 22);                                                    /* cbSize */
        Put16(f, 2);                                                     /* fwHeadLayer: Layer II */
        Put32(f, static_cast<std::uint32_t>(first.BitRate()));           /* dwHeadBitrate */
        Put16(f, 1u << first.ChannelMode());                             /* fwHeadMode */
        Put16(f, first.ChannelMode() == 1 ? 1u << (word >> 4 & 3) : 0u); /* fwHeadModeExt */
        Put16(f, (word & 3) + 1);                                        /* wHeadEmphasis */
        unsigned flags = 0;
        if (word & 0x100) flags |= 0x01;                                     // private bit
        if (word & 0x008) flags |= 0x02;                                     // copyright
        if (word & 0x004) flags |= 0x04;                                     // original
        if (first.HasCrc()) flags |= 0x08;                                   // protection
        if (first.VersionBit() == 1 && first.IsMpeg25() == 0) flags |= 0x10; // MPEG-1
        Put16(f, flags);                                                     /* fwHeadFlags */
        Put32(f, 0);                                                         /* dwPTSLow */
        Put32(f, 0);                                                         /* dwPTSHigh */
    } else {
        Put16(f, 12);   /* cbSize */
        Put16(f, 1);    /* wID: MPEGLAYER3_ID_MPEG */
        Put32(f, 2);    /* fdwFlags: PADDING_OFF */
        Put16(f, 522);  /* nBlockSize */
        Put16(f, 1);    /* nFramesPerBlock */
        Put16(f, 1393); /* nCodecDelay */
    }
    return f;
}

bool MuxVideoAndSound(const std::string& VideoFile, const std::string& SoundFile,
                      const std::string& OutputFile, const TMuxEvents& events) {
    TReporter report(events);
    report.Log("Audio : " + SoundFile);
    report.Log("Video : " + VideoFile);
    report.Log("Output : " + OutputFile);
    report.Log("Loading MP3 file");

    TMP3FrameExtract extract(SoundFile);
    extract.OnProgress = [&](TMP3FrameExtract&, std::uint8_t percent) {
        report.Progress(percent, 100);
    };
    extract.OnQueryAbort = [&] { return report.Stop(); };
    extract.Load();
    char line[96];
    std::snprintf(line, sizeof line, "MP3 file succesfully loaded (%d frames)",
                  static_cast<int>(extract.FrameCount()));
    report.Log(line);
    if (!extract.FirstHeader()) RaiseAssert("No MPEG audio frame found in " + SoundFile, kUnit);
    const TMP3Header& first = *extract.FirstHeader();

    // Everything about the source is read before the output is created, so a bad source leaves
    // no output behind.
    TAviReader source;
    Check(source.Open(VideoFile), "FileOpen");
    AVIFILEINFO fileInfo;
    Check(source.Info(fileInfo), "FileInfo");
    int sourceVideo = -1;
    Check(source.GetStream(streamtypeVIDEO, 0, sourceVideo), "GetStream");
    AVISTREAMINFO videoInfo;
    Check(source.StreamInfo(sourceVideo, videoInfo), "StreamInfo");
    std::vector<std::uint8_t> videoFormat;
    Check(source.ReadFormat(sourceVideo, videoFormat), "StreamReadFormat");

    // Creating the output truncates it: it must not be one of the inputs.
    std::error_code ec;
    if (std::filesystem::equivalent(OutputFile, VideoFile, ec) ||
        std::filesystem::equivalent(OutputFile, SoundFile, ec))
        RaiseAssert("Output file is one of the input files: " + OutputFile, kUnit);
    TAviWriter output;
    CheckOutput(output, output.Create(OutputFile), "FileOpen");
    int outVideo = -1, outAudio = -1;
    CheckOutput(output, output.CreateStream(videoInfo, outVideo), "CreateStream");
    CheckOutput(output, output.SetFormat(outVideo, videoFormat.data(), videoFormat.size()),
                "StreamSetFormat");
    CheckOutput(output, output.CreateStream(AudioStreamInfo(first), outAudio), "CreateStream");
    const std::vector<std::uint8_t> audioFormat = MakeAudioFormat(first);
    CheckOutput(output, output.SetFormat(outAudio, audioFormat.data(), audioFormat.size()),
                "StreamSetFormat");

    bool stopped = false;
    report.Log("Adding Video Stream");
    const std::int32_t length = source.StreamLength(sourceVideo);
    report.Progress(0, length);
    std::vector<std::uint8_t> buffer;
    for (std::int32_t i = 0; i < length; ++i) {
        if (report.Stop()) {
            stopped = true;
            break;
        }
        std::uint32_t size = 0;
        Check(source.SampleSize(sourceVideo, i, size), "StreamRead");
        buffer.resize(size);
        std::uint32_t got = 0;
        Check(source.Read(sourceVideo, i, buffer.data(), buffer.size(), got), "StreamRead");
        const std::uint32_t flags = source.FindKeySample(sourceVideo, i) == i ? AVIIF_KEYFRAME : 0;
        CheckOutput(output, output.Write(outVideo, i, buffer.data(), got, flags), "StreamWrite");
        report.Progress(i + 1, length);
    }

    report.Log("Adding Audio Stream");
    std::unique_ptr<std::FILE, FileCloser> sound(std::fopen(SoundFile.c_str(), "rb"));
    if (!sound)
        throw EMorvantaError("Cannot open file \"" + SoundFile + "\". " + SystemErrorText(errno));
    // An encoder's Info frame holds no sound: decoders would play it as a frame of silence
    // ahead of the soundtrack.
    const std::size_t skip = extract.FirstAudioFrame();
    const auto frames = static_cast<std::int32_t>(extract.FramesFound() - skip);
    report.Progress(0, frames);
    std::int64_t filePos = 0;
    for (std::int32_t k = 0; k < frames && !stopped; ++k) {
        if (report.Stop()) {
            stopped = true;
            break;
        }
        const std::size_t frame = skip + static_cast<std::size_t>(k);
        const std::int64_t start = extract.FrameStart(frame);
        buffer.resize(static_cast<std::size_t>(extract.FrameLength(frame)));
        if (start != filePos && fseeko(sound.get(), static_cast<off_t>(start), SEEK_SET) != 0)
            RaiseAssert("Read error in " + SoundFile, kUnit);
        if (std::fread(buffer.data(), 1, buffer.size(), sound.get()) != buffer.size())
            RaiseAssert("Read error in " + SoundFile, kUnit);
        filePos = start + static_cast<std::int64_t>(buffer.size());
        CheckOutput(output, output.Write(outAudio, k, buffer.data(), buffer.size(), 0),
                    "StreamWrite");
        report.Progress(k + 1, frames);
    }
    sound.reset();
    source.Close();
    CheckOutput(output, output.Close(), "FileClose");
    if (!stopped) report.Log("Done");
    return !stopped;
}
