// The song reader: probing a file of any content under a song's name, then decoding what the
// probe accepted, as the render would. A clean refusal is the expected end of bad input; the
// decoder must agree with the probe's count.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

#include "FuzzSupport.h"
#include "audio/U_SongList.h"
#include "audio/U_SongProbe.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static TFuzzFile file(".m4a");
    const std::string& path = file.Write(data, size);
    try {
        (void)SongProblem(path);
        const TSongInfo info = ProbeSong(path);
        if (!std::isfinite(info.Days) || info.Days <= 0 || info.SampleRate <= 0 ||
            info.Channels < 1)
            __builtin_trap();
        if (info.Kind == TSongKind::Decoded && info.Frames <= 0) __builtin_trap();
        // Two copies of the song, cross-faded: the list's whole road.
        TSongList list({info, info}, 50);
        std::vector<float> buffer(4096 * static_cast<std::size_t>(list.Channels()));
        std::int64_t frames = 0;
        for (int got; (got = list.Read(buffer.data(), 4096)) > 0;) {
            frames += got;
            for (int i = 0; i < got * list.Channels(); ++i)
                if (!std::isfinite(buffer[static_cast<std::size_t>(i)])) __builtin_trap();
        }
        if (frames < 0) __builtin_trap();
    } catch (const std::exception&) {
    }
    return 0;
}
