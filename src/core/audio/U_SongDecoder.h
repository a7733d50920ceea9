#pragma once
// One song decoded to interleaved float samples at a chosen rate and channel count, whatever
// its own format: libavcodec decodes, libswresample converts (5.1 and other layouts are mixed
// down to stereo or mono with the standard matrix).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/U_PcmSource.h"

class TSongDecoder : public TPcmSource {
public:
    // Opens `path`; throws EMorvantaError naming the file when it cannot be decoded.
    // `channels` is 1 or 2.
    TSongDecoder(const std::string& path, int sampleRate, int channels);
    ~TSongDecoder() override;
    TSongDecoder(const TSongDecoder&) = delete;
    TSongDecoder& operator=(const TSongDecoder&) = delete;

    int SampleRate() const override { return rate_; }
    int Channels() const override { return channels_; }
    int Read(float* out, int frames) override;

    // Frames given so far.
    std::int64_t FramesRead() const { return framesRead_; }

private:
    struct TState;
    // Decodes until some converted samples are waiting or the song has ended.
    void Refill();
    void Convert(const std::uint8_t* const* data, int samples);

    std::string path_;
    int rate_;
    int channels_;
    std::unique_ptr<TState> state_;
    std::vector<float> pending_; // converted, not yet read
    std::size_t pendingStart_ = 0;
    std::int64_t framesRead_ = 0;
    double secondsDecoded_ = 0;
    bool ended_ = false;
};
