#pragma once
// Decoded sound as one stream of interleaved float samples: what the songs' decoders give and
// what the sound encoders and the beat tracker take, whatever the songs' formats were.
#include <cstdint>

class TPcmSource {
public:
    virtual ~TPcmSource() = default;
    virtual int SampleRate() const = 0;
    virtual int Channels() const = 0;
    // Fills `out` with up to `frames` frames (frames x Channels() floats in -1..1) and returns how
    // many it wrote; 0 only at the end of the sound. Errors are thrown.
    virtual int Read(float* out, int frames) = 0;
    // Frames in the whole sound, from the decoders' own count; -1 while unknown.
    virtual std::int64_t TotalFrames() const { return -1; }
};
