#include "audio/U_BeatTracker.h"

#include <aubio/aubio.h>

#include <algorithm>
#include <memory>

#include "platform/base/U_Errors.h"

namespace {

constexpr uint_t HopFrames = 512;
constexpr uint_t WindowFrames = 1024;
constexpr std::size_t MinBeats = 8;
// aubio's own confidence in the tempo it found, below which the beats are its guesses.
constexpr double MinConfidence = 0.1;

struct TTempoDeleter {
    void operator()(aubio_tempo_t* t) const { del_aubio_tempo(t); }
};
struct TVecDeleter {
    void operator()(fvec_t* v) const { del_fvec(v); }
};

} // namespace

bool IsSteadyBeat(const std::vector<double>& seconds) {
    if (seconds.size() < MinBeats) return false;
    std::vector<double> gaps;
    for (std::size_t i = 1; i < seconds.size(); ++i) gaps.push_back(seconds[i] - seconds[i - 1]);
    std::vector<double> sorted = gaps;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(sorted.size() / 2),
                     sorted.end());
    const double median = sorted[sorted.size() / 2];
    if (median < 60.0 / 240 || median > 60.0 / 40) return false;
    const auto near = std::count_if(gaps.begin(), gaps.end(), [median](double gap) {
        return gap > median * 0.9 && gap < median * 1.1;
    });
    return static_cast<double>(near) >= 0.6 * static_cast<double>(gaps.size());
}

TBeats FindBeats(TPcmSource& pcm) {
    const int channels = pcm.Channels();
    std::unique_ptr<aubio_tempo_t, TTempoDeleter> tempo(
        new_aubio_tempo("default", WindowFrames, HopFrames, static_cast<uint_t>(pcm.SampleRate())));
    std::unique_ptr<fvec_t, TVecDeleter> in(new_fvec(HopFrames));
    std::unique_ptr<fvec_t, TVecDeleter> out(new_fvec(1));
    if (!tempo || !in || !out) throw EMorvantaError("Cannot start the beat tracker");
    std::vector<float> samples(HopFrames * static_cast<std::size_t>(channels));
    TBeats beats;
    for (;;) {
        int got = 0;
        // A hop at a time, the last one padded with silence.
        while (got < static_cast<int>(HopFrames)) {
            const int n = pcm.Read(samples.data() + static_cast<std::size_t>(got) * channels,
                                   static_cast<int>(HopFrames) - got);
            if (n <= 0) break;
            got += n;
        }
        if (got == 0) break;
        for (uint_t i = 0; i < HopFrames; ++i) {
            float mono = 0;
            if (static_cast<int>(i) < got)
                for (int c = 0; c < channels; ++c) mono += samples[i * channels + c];
            in->data[i] = mono / static_cast<float>(channels);
        }
        aubio_tempo_do(tempo.get(), in.get(), out.get());
        if (out->data[0] != 0) beats.Seconds.push_back(aubio_tempo_get_last_s(tempo.get()));
        if (got < static_cast<int>(HopFrames)) break;
    }
    beats.Confidence = aubio_tempo_get_confidence(tempo.get());
    beats.Clear = beats.Confidence >= MinConfidence && IsSteadyBeat(beats.Seconds);
    return beats;
}
