#pragma once
// A soundtrack of one or more songs played one after another, each cross-faded into the next,
// as one stream of samples at the first song's rate (stereo unless every song is mono).
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/U_PcmSource.h"
#include "audio/U_SongProbe.h"

class TSongDecoder;

// The cross-fade between songs when none is asked for, and the longest one taken.
inline constexpr int DefaultSongFadeMs = 1000;
inline constexpr int MaxSongFadeMs = 30000;

class TSongList : public TPcmSource {
public:
    // `songs` as ProbeSongs gave them (at least one). Opens the first song; throws
    // EMorvantaError when it cannot be decoded.
    TSongList(std::vector<TSongInfo> songs, int fadeMs);
    ~TSongList() override;
    TSongList(const TSongList&) = delete;
    TSongList& operator=(const TSongList&) = delete;

    int SampleRate() const override { return rate_; }
    int Channels() const override { return channels_; }
    int Read(float* out, int frames) override;
    std::int64_t TotalFrames() const override { return total_; }

private:
    // Adds the next samples to ready_; false at the end of the last song.
    bool Produce();
    void Emit(const float* samples, std::size_t frames);

    std::vector<TSongInfo> songs_;
    int rate_;
    int channels_;
    std::vector<std::int64_t> fades_; // frames shared by song i and song i + 1
    std::int64_t total_ = 0;
    std::size_t current_ = 0;
    std::unique_ptr<TSongDecoder> decoder_;
    std::vector<float> held_; // the current song's last samples, kept back for the cross-fade
    std::vector<float> ready_;
    std::size_t readyStart_ = 0;
    bool finished_ = false;
};

// The frames of each song's cross-fade into the next at `rate`: `fadeMs`, but at most half of
// either song.
std::vector<std::int64_t> CrossFadeFrames(const std::vector<TSongInfo>& songs, int fadeMs,
                                          int rate);
// The whole soundtrack's playing time in days: one song's own, or the songs' sum less the
// cross-fades. 0 for no songs.
double SoundtrackDays(const std::vector<TSongInfo>& songs, int fadeMs);
// Stereo unless every song is mono.
int SoundtrackChannels(const std::vector<TSongInfo>& songs);
