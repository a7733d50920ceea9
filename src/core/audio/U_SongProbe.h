#pragma once
// What a song file is and how long it plays, decided by its content: an MPEG audio file keeps
// the frame scan and the frame-duration reading of MP3 soundtracks; any other song is decoded
// once and its samples counted, whatever its header claims.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class TSongKind {
    Mpeg,    // MPEG audio frames, cut and copied as they are into an AVI
    Decoded, // anything else libavformat/libavcodec read: decoded, then copied or encoded
};

struct TSongInfo {
    std::string Path;
    TSongKind Kind = TSongKind::Decoded;
    std::string Codec;   // the decoder's name: "mp3", "aac", "vorbis", "opus", "flac", "pcm_s16le"
    int CodecId = 0;     // FFmpeg's AVCodecID
    std::string Demuxer; // the container's reader ("mp3", "ogg", "mov,mp4,m4a,3gp,3g2,mj2", ...)
    int SampleRate = 0;
    int Channels = 0;
    // Sample frames the decoder gave; -1 for MPEG audio files, which are not decoded here.
    std::int64_t Frames = -1;
    // Playing time in days, as the soundtrack facade gives it (the MPEG frame reading for MPEG
    // audio, the decoder's count otherwise).
    double Days = 0;
    double Seconds() const { return Days * 86400; }
};

// Reads `path` as a song. Throws EMorvantaError with one plain message naming the file when it
// cannot be a soundtrack (the MPEG reader's own messages for MPEG audio files). `quick` checks
// only that sound is there (the first MPEG frames, or the first decoded samples) and leaves the
// playing time and, for MPEG audio, the rate and channels unset.
TSongInfo ProbeSong(const std::string& path, bool quick = false);
std::vector<TSongInfo> ProbeSongs(const std::vector<std::string>& paths);
// ProbeSong, but a decoded song is counted only until it has played more than `seconds`: a
// song that goes on is reported a little longer than that, not its whole length. For a
// soundtrack cut at `seconds`, whose decode then happens once instead of twice.
TSongInfo ProbeSongUpTo(const std::string& path, double seconds);

// ProbeSong's message for a quick probe, or none when the song can be used.
std::optional<std::string> SongProblem(const std::string& path);

// True for the names the facade reads as MPEG audio ("*.mp1", "*.mp2", "*.mp3", any case).
bool IsMpegAudioName(const std::string& path);
