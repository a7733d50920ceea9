// The soundtrack's duration reader: the MPEG reader directly, then the facade the window and
// the render use, both on a file named *.mp3. A clean refusal is the expected end of bad input.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <exception>

#include "FuzzSupport.h"
#include "audio/U_AudioFile.h"
#include "audio/U_MpegAudioFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static TFuzzFile file(".mp3");
    const std::string& path = file.Write(data, size);
    try {
        TMpegAudioFile reader(path);
        const std::int64_t bytes = reader.DataSize();
        // Every frame counted is at least a header long and lies inside the file.
        if (reader.FramesCounted() < 1 ||
            reader.FramesCounted() > static_cast<std::int64_t>(size) / 4 || bytes < 0 ||
            !(reader.TotalSeconds() >= 0) || reader.Channels() < 1 || reader.Channels() > 2 ||
            reader.SampleRate() < 8000 || reader.BitsPerSample() != 16)
            __builtin_trap();
    } catch (const std::exception&) {
    }
    try {
        TAudioFile audio;
        audio.SetFileName(path);
        const double days = audio.Duration();
        if (!std::isfinite(days) || days < 0) __builtin_trap();
        audio.Close();
    } catch (const std::exception&) {
    }
    return 0;
}
