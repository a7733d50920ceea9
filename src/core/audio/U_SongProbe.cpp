#include "audio/U_SongProbe.h"

#include <cmath>

#include "audio/U_AudioFile.h"
#include "audio/U_MP3FrameExtract.h"
#include "audio/U_MpegAudioFile.h"
#include "audio/U_SongInput.h"
#include "platform/base/U_Errors.h"
#include "platform/base/U_Limits.h"
#include "platform/codec/U_FFmpeg.h"

namespace {

// Enough frames for the multiplexing's rules (a frame confirmed by the next, an encoder's info
// frame ahead of the sound) without scanning a long soundtrack to its end.
constexpr std::size_t SoundFramesChecked = 8;

std::string Refusal(const std::string& path, const std::string& reason) {
    return "No usable sound in " + path + ": " + reason;
}

// The multiplexing's frame scan over the first frames; its complaint, or "" when it finds them.
std::string MpegFramesProblem(const std::string& path) {
    TMP3FrameExtract extract(path);
    extract.OnQueryAbort = [&extract] { return extract.FramesFound() >= SoundFramesChecked; };
    try {
        extract.Load();
    } catch (const EMorvantaError& e) {
        return e.what();
    }
    if (!extract.FirstHeader()) return "No MPEG audio frame found in " + path;
    return {};
}

TSongInfo MpegSong(const std::string& path, bool quick) {
    TSongInfo info;
    info.Path = path;
    info.Kind = TSongKind::Mpeg;
    info.Codec = "mp3";
    info.CodecId = AV_CODEC_ID_MP3;
    info.Demuxer = "mp3";
    if (quick) return info;
    TMpegAudioFile reader(path);
    info.Days = PlayingDays(reader);
    info.SampleRate = reader.SampleRate();
    info.Channels = reader.Channels();
    return info;
}

// Decodes the whole stream and counts what comes out; `quick` stops at the first samples, and
// the count stops once it passes `enough` frames (when positive).
void CountSamples(TSongInput& in, TSongInfo& info, bool quick, std::int64_t enough = 0) {
    auto decoder = OpenSongDecoder(in);
    TPacketPtr packet(av_packet_alloc());
    TFramePtr frame(av_frame_alloc());
    if (!packet || !frame) throw std::bad_alloc();
    std::int64_t frames = 0;
    double seconds = 0;
    bool oneRate = true; // then the count gives the time exactly
    const int rate = in.Stream->codecpar->sample_rate;
    const auto drain = [&] {
        while (avcodec_receive_frame(decoder.get(), frame.get()) == 0) {
            if (frame->sample_rate > 0) {
                frames += frame->nb_samples;
                oneRate = oneRate && frame->sample_rate == rate;
                seconds += static_cast<double>(frame->nb_samples) / frame->sample_rate;
            }
            av_frame_unref(frame.get());
            if (quick && frames > 0) return;
            if (enough > 0 && frames >= enough) return;
            if (seconds > MaxSongSeconds)
                throw ESongRefused("it plays longer than " +
                                   std::to_string(static_cast<int>(MaxSongSeconds / 3600)) +
                                   " hours");
        }
    };
    while (av_read_frame(in.Format.get(), packet.get()) >= 0) {
        if (packet->stream_index == in.Stream->index) {
            // A damaged packet is skipped, as players do; the rest still counts.
            avcodec_send_packet(decoder.get(), packet.get());
            drain();
        }
        av_packet_unref(packet.get());
        if (quick && frames > 0) break;
        if (enough > 0 && frames >= enough) break;
    }
    if (!(quick && frames > 0) && !(enough > 0 && frames >= enough)) {
        avcodec_send_packet(decoder.get(), nullptr);
        drain();
    }
    if (frames == 0) throw ESongRefused(HeaderOnly);
    info.Frames = frames;
    info.Days = (oneRate ? static_cast<double>(frames) / rate : seconds) / 86400;
}

TSongInfo DecodedSong(const std::string& path, TSongInput& in, bool quick,
                      double enoughSeconds = 0) {
    TSongInfo info;
    info.Path = path;
    info.Kind = TSongKind::Decoded;
    info.Codec = in.Decoder->name;
    info.CodecId = in.Stream->codecpar->codec_id;
    info.Demuxer = in.Demuxer();
    info.SampleRate = in.Stream->codecpar->sample_rate;
    info.Channels = in.Stream->codecpar->ch_layout.nb_channels;
    const std::int64_t enough =
        enoughSeconds > 0 && info.SampleRate > 0
            ? static_cast<std::int64_t>(std::ceil(enoughSeconds * info.SampleRate))
            : 0;
    CountSamples(in, info, quick, enough);
    return info;
}

bool IsMpegAudio(const TSongInput& in) {
    const AVCodecID id = in.Stream->codecpar->codec_id;
    return in.Demuxer() == "mp3" &&
           (id == AV_CODEC_ID_MP3 || id == AV_CODEC_ID_MP2 || id == AV_CODEC_ID_MP1);
}

} // namespace

bool IsMpegAudioName(const std::string& path) {
    return MatchesMask(path, "*.mp[123]");
}

TSongInfo ProbeSong(const std::string& path, bool quick) {
    const TQuietAvLog quiet;
    // An MPEG audio name keeps the frame scan's verdict; a file so named that holds no MPEG
    // frame may still be another kind of song.
    if (IsMpegAudioName(path)) {
        const std::string problem = MpegFramesProblem(path);
        if (problem.empty()) return MpegSong(path, quick);
        try {
            TSongInput in = OpenSongInput(path);
            if (!IsMpegAudio(in)) return DecodedSong(path, in, quick);
        } catch (const ESongRefused&) {
        }
        throw EMorvantaError(problem);
    }
    try {
        TSongInput in = OpenSongInput(path);
        if (!IsMpegAudio(in)) return DecodedSong(path, in, quick);
    } catch (const ESongRefused& e) {
        throw EMorvantaError(Refusal(path, e.what()));
    }
    const std::string problem = MpegFramesProblem(path);
    if (!problem.empty()) throw EMorvantaError(problem);
    return MpegSong(path, quick);
}

TSongInfo ProbeSongUpTo(const std::string& path, double seconds) {
    if (IsMpegAudioName(path) || seconds <= 0) return ProbeSong(path);
    const TQuietAvLog quiet;
    try {
        TSongInput in = OpenSongInput(path);
        // A cut decode needs one more second than asked: the caller then sees the song as
        // longer than what it cuts, whatever the rounding.
        if (!IsMpegAudio(in)) return DecodedSong(path, in, false, seconds + 1);
    } catch (const ESongRefused&) {
        // ProbeSong gives the message.
    }
    return ProbeSong(path);
}

std::vector<TSongInfo> ProbeSongs(const std::vector<std::string>& paths) {
    if (paths.size() > MaxSongCount)
        throw EMorvantaError("Too many songs: at most " + std::to_string(MaxSongCount));
    std::vector<TSongInfo> songs;
    songs.reserve(paths.size());
    for (const auto& path : paths) songs.push_back(ProbeSong(path));
    return songs;
}

std::optional<std::string> SongProblem(const std::string& path) {
    try {
        ProbeSong(path, true);
    } catch (const std::exception& e) {
        return std::string(e.what());
    }
    return std::nullopt;
}
