#include "audio/U_SongList.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "audio/U_SongDecoder.h"
#include "platform/base/U_Errors.h"

namespace {

constexpr int ChunkFrames = 4096;

std::int64_t SongFrames(const TSongInfo& song, int rate) {
    return static_cast<std::int64_t>(std::llround(song.Seconds() * rate));
}

} // namespace

std::vector<std::int64_t> CrossFadeFrames(const std::vector<TSongInfo>& songs, int fadeMs,
                                          int rate) {
    std::vector<std::int64_t> fades(songs.size(), 0);
    const std::int64_t wanted =
        static_cast<std::int64_t>(std::clamp(fadeMs, 0, MaxSongFadeMs)) * rate / 1000;
    for (std::size_t i = 0; i + 1 < songs.size(); ++i)
        fades[i] =
            std::min({wanted, SongFrames(songs[i], rate) / 2, SongFrames(songs[i + 1], rate) / 2});
    return fades;
}

double SoundtrackDays(const std::vector<TSongInfo>& songs, int fadeMs) {
    if (songs.empty()) return 0;
    if (songs.size() == 1) return songs[0].Days;
    const int rate = songs[0].SampleRate;
    double days = 0;
    for (const auto& song : songs) days += song.Days;
    for (const std::int64_t fade : CrossFadeFrames(songs, fadeMs, rate))
        days -= static_cast<double>(fade) / rate / 86400;
    return days;
}

int SoundtrackChannels(const std::vector<TSongInfo>& songs) {
    for (const auto& song : songs)
        if (song.Channels != 1) return 2;
    return 1;
}

TSongList::TSongList(std::vector<TSongInfo> songs, int fadeMs)
    : songs_(std::move(songs)), rate_(songs_.empty() ? 0 : songs_[0].SampleRate),
      channels_(SoundtrackChannels(songs_)) {
    if (songs_.empty()) throw EMorvantaError("No song in the soundtrack");
    fades_ = CrossFadeFrames(songs_, fadeMs, rate_);
    for (std::size_t i = 0; i < songs_.size(); ++i)
        total_ += SongFrames(songs_[i], rate_) - fades_[i];
    decoder_ = std::make_unique<TSongDecoder>(songs_[0].Path, rate_, channels_);
}

TSongList::~TSongList() = default;

void TSongList::Emit(const float* samples, std::size_t frames) {
    ready_.insert(ready_.end(), samples, samples + frames * channels_);
}

bool TSongList::Produce() {
    if (finished_) return false;
    const std::size_t fade = static_cast<std::size_t>(fades_[current_]);
    const std::size_t ch = static_cast<std::size_t>(channels_);
    std::vector<float> chunk(static_cast<std::size_t>(ChunkFrames) * ch);
    const int got = decoder_->Read(chunk.data(), ChunkFrames);
    if (got > 0) {
        held_.insert(held_.end(), chunk.begin(), chunk.begin() + got * ch);
        const std::size_t heldFrames = held_.size() / ch;
        if (heldFrames > fade) {
            const std::size_t out = heldFrames - fade;
            Emit(held_.data(), out);
            held_.erase(held_.begin(), held_.begin() + static_cast<long>(out * ch));
        }
        return true;
    }
    if (current_ + 1 == songs_.size()) {
        Emit(held_.data(), held_.size() / ch);
        held_.clear();
        finished_ = true;
        return !ready_.empty();
    }
    // The song has ended: its kept-back tail fades out while the next song fades in.
    ++current_;
    decoder_ = std::make_unique<TSongDecoder>(songs_[current_].Path, rate_, channels_);
    const std::size_t overlap = held_.size() / ch;
    std::vector<float> next(overlap * ch, 0.0f);
    std::size_t filled = 0;
    while (filled < overlap) {
        const int n = decoder_->Read(next.data() + filled * ch, static_cast<int>(overlap - filled));
        if (n <= 0) break;
        filled += static_cast<std::size_t>(n);
    }
    for (std::size_t k = 0; k < overlap; ++k) {
        const double x = (static_cast<double>(k) + 0.5) / static_cast<double>(overlap);
        const float out = static_cast<float>(std::cos(x * std::numbers::pi / 2));
        const float in = static_cast<float>(std::sin(x * std::numbers::pi / 2));
        for (std::size_t c = 0; c < ch; ++c)
            held_[k * ch + c] = held_[k * ch + c] * out + next[k * ch + c] * in;
    }
    Emit(held_.data(), overlap);
    held_.clear();
    return true;
}

int TSongList::Read(float* out, int frames) {
    const std::size_t ch = static_cast<std::size_t>(channels_);
    int done = 0;
    while (done < frames) {
        if (readyStart_ == ready_.size()) {
            ready_.clear();
            readyStart_ = 0;
            if (!Produce()) break;
            continue;
        }
        const std::size_t available = (ready_.size() - readyStart_) / ch;
        const int take = static_cast<int>(std::min<std::size_t>(available, frames - done));
        std::copy_n(ready_.begin() + static_cast<long>(readyStart_), take * ch,
                    out + static_cast<std::size_t>(done) * ch);
        readyStart_ += take * ch;
        done += take;
    }
    return done;
}
