#pragma once
// The soundtrack of an MP4, MKV or WebM file as packets for its muxer, made one of two ways:
// the song's own packets copied as they are, or decoded sound encoded anew. Both end with the
// video: copied packets stop at the last whole one that starts before the video's end; encoded
// sound is cut there and faded out.
#include <memory>
#include <string>

#include "audio/U_PcmSource.h"

struct AVPacket;
struct AVStream;
struct AVRational;

class TSoundPackets {
public:
    virtual ~TSoundPackets() = default;
    // Sets up the muxer's stream (codec parameters, time base) before its header is written.
    virtual void Describe(AVStream* stream) const = 0;
    // The next packet, its times in the stream's time base as Describe set it; false at the end.
    virtual bool Next(AVPacket* packet) = 0;
};

// Where the sound ends and how it fades.
struct TSoundCut {
    double VideoSeconds = 0; // the video's duration: the sound ends there
    int FadeOutMs = 2000;    // encoded sound fades out over this before the cut; 0 for none
};

// The packets of the song file `path`, copied bit for bit. Throws EMorvantaError.
std::unique_ptr<TSoundPackets> CopySongPackets(const std::string& path, const TSoundCut& cut);

// `pcm` encoded with `encoder` ("aac", "libopus", "libmp3lame"); `globalHeader` for containers
// that keep the codec's headers in the stream's parameters. Throws EMorvantaError.
std::unique_ptr<TSoundPackets> EncodePcm(std::unique_ptr<TPcmSource> pcm,
                                         const std::string& encoder, const TSoundCut& cut,
                                         bool globalHeader);
