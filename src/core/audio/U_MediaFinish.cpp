#include "audio/U_MediaFinish.h"

#include <algorithm>
#include <cctype>

#include "audio/U_SongList.h"
#include "audio/U_SoundPackets.h"
#include "platform/base/U_Errors.h"
#include "platform/container/U_AvFormat.h"

extern "C" {
#include <libavutil/dict.h>
}

namespace {

constexpr const char* StepText = "Adding Video Stream";

struct TDictDeleter {
    void operator()(AVDictionary* d) const { av_dict_free(&d); }
};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::unique_ptr<TSoundPackets> MakeSound(const TMediaFinish& finish, TContainer container) {
    const std::string encoder = SoundEncoderFor(
        container, finish.Sound, ProbeSong(finish.Songs.front(), true), finish.Songs.size());
    const TSoundCut cut{VideoSeconds(finish), finish.FadeOutMs};
    if (encoder.empty()) return CopySongPackets(finish.Songs.front(), cut);
    // One song is cut at the video's end: counting it further would decode it twice.
    std::vector<TSongInfo> songs =
        finish.Songs.size() == 1 ? std::vector{ProbeSongUpTo(finish.Songs[0], cut.VideoSeconds)}
                                 : ProbeSongs(finish.Songs);
    // Every container here keeps the codec's headers in the stream's parameters.
    return EncodePcm(std::make_unique<TSongList>(std::move(songs), finish.SongFadeMs), encoder, cut,
                     true);
}

AVDictionary* FinalOptions(TContainer container, const AVStream* video) {
    AVDictionary* options = nullptr;
    if (container == TContainer::Mp4) {
        // The index before the media data: the file plays while it downloads.
        av_dict_set(&options, "movflags", "+faststart", 0);
        if (video->time_base.num == 1)
            av_dict_set_int(&options, "video_track_timescale", video->time_base.den, 0);
    }
    return options;
}

} // namespace

std::optional<TSoundMode> SoundModeFromText(const std::string& text) {
    const std::string t = Lower(text);
    if (t == "auto") return TSoundMode::Auto;
    if (t == "copy") return TSoundMode::Copy;
    if (t == "aac") return TSoundMode::Aac;
    if (t == "mp3") return TSoundMode::Mp3;
    if (t == "opus") return TSoundMode::Opus;
    return std::nullopt;
}

std::string SoundModeText(TSoundMode mode) {
    switch (mode) {
    case TSoundMode::Auto:
        return "auto";
    case TSoundMode::Copy:
        return "copy";
    case TSoundMode::Aac:
        return "aac";
    case TSoundMode::Mp3:
        return "mp3";
    case TSoundMode::Opus:
        return "opus";
    }
    return "auto";
}

std::string SoundEncoderFor(TContainer container, TSoundMode mode, const TSongInfo& first,
                            std::size_t songs) {
    const bool webm = container == TContainer::WebM;
    const bool copies = songs == 1 && ContainerHoldsSound(container, first.CodecId);
    switch (mode) {
    case TSoundMode::Auto:
        return copies ? "" : DefaultSoundEncoder(container);
    case TSoundMode::Copy:
        if (songs > 1)
            throw EMorvantaError("Several songs cannot be copied: they are mixed into one "
                                 "soundtrack. Use --audio auto.");
        if (!copies)
            throw EMorvantaError(ContainerFileText(container) + " cannot hold " +
                                 SoundCodecText(first.CodecId) + " sound: use --audio " +
                                 (webm ? "opus" : "aac") + ".");
        return "";
    case TSoundMode::Aac:
        if (webm) throw EMorvantaError("A WebM file cannot hold AAC sound: use --audio opus.");
        return "aac";
    case TSoundMode::Mp3:
        if (webm) throw EMorvantaError("A WebM file cannot hold MP3 sound: use --audio opus.");
        return "libmp3lame";
    case TSoundMode::Opus:
        return "libopus";
    }
    return DefaultSoundEncoder(container);
}

double VideoSeconds(const TMediaFinish& finish) {
    if (finish.FrameRate > 0) return static_cast<double>(finish.Frames) / finish.FrameRate;
    return static_cast<double>(finish.Frames) * finish.FrameDuration / 1000.0;
}

bool FinishMedia(const TMediaFinish& finish, const TMuxEvents& events) {
    const auto stopRequested = [&] { return events.StopRequested && events.StopRequested(); };
    const TContainer container = ContainerOf(finish.OutputFile);
    const TInputContextPtr in = OpenMediaInput(finish.VideoFile);
    const int videoIndex = av_find_best_stream(in.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (videoIndex < 0) throw EMorvantaError("No video in " + finish.VideoFile);
    const AVStream* inVideo = in->streams[videoIndex];

    std::unique_ptr<TSoundPackets> sound;
    if (!finish.Songs.empty()) sound = MakeSound(finish, container);

    int systemError = 0;
    const TOutputContextPtr out =
        OpenMediaOutput(finish.OutputFile, MuxerName(finish.OutputFile), systemError);
    AVStream* video = avformat_new_stream(out.get(), nullptr);
    if (!video) throw EMorvantaError("Out of memory");
    if (const int err = avcodec_parameters_copy(video->codecpar, inVideo->codecpar); err < 0)
        ThrowAvError("Cannot copy the video", err);
    video->codecpar->codec_tag = 0;
    if (container == TContainer::Mp4 && video->codecpar->codec_id == AV_CODEC_ID_HEVC)
        video->codecpar->codec_tag = MKTAG('h', 'v', 'c', '1');
    video->time_base = inVideo->time_base;
    video->avg_frame_rate = inVideo->avg_frame_rate;
    video->r_frame_rate = inVideo->r_frame_rate;
    video->sample_aspect_ratio = {1, 1};
    AVStream* audio = nullptr;
    if (sound) {
        audio = avformat_new_stream(out.get(), nullptr);
        if (!audio) throw EMorvantaError("Out of memory");
        sound->Describe(audio);
    }
    const AVRational inVideoBase = inVideo->time_base;
    AVRational soundBase = audio ? audio->time_base : AVRational{1, 1};

    std::unique_ptr<AVDictionary, TDictDeleter> options(FinalOptions(container, inVideo));
    AVDictionary* raw = options.release();
    int err = avformat_write_header(out.get(), &raw);
    options.reset(raw);
    if (err < 0) ThrowAvError("Cannot write " + finish.OutputFile, err);

    TPacketPtr v(av_packet_alloc()), a(av_packet_alloc());
    if (!v || !a) throw EMorvantaError("Out of memory");
    const auto nextVideo = [&] {
        for (;;) {
            const int e = av_read_frame(in.get(), v.get());
            if (e == AVERROR_EOF) return false;
            if (e < 0) ThrowAvError("Cannot read " + finish.VideoFile, e);
            if (v->stream_index == videoIndex) return true;
            av_packet_unref(v.get());
        }
    };
    const auto write = [&](AVPacket* p, AVRational from, AVStream* to) {
        p->stream_index = to->index;
        p->pos = -1;
        av_packet_rescale_ts(p, from, to->time_base);
        if (const int e = av_interleaved_write_frame(out.get(), p); e < 0)
            ThrowAvError("Cannot write " + finish.OutputFile, e);
    };

    bool haveVideo = nextVideo();
    bool haveSound = sound && sound->Next(a.get());
    std::int32_t written = 0;
    bool stopped = false;
    while (haveVideo || haveSound) {
        if (stopRequested()) {
            stopped = true;
            break;
        }
        const bool videoFirst =
            haveVideo && (!haveSound || av_compare_ts(v->dts, inVideoBase, a->dts, soundBase) <= 0);
        if (videoFirst) {
            write(v.get(), inVideoBase, video);
            ++written;
            if (events.OnProgress && written % 25 == 0)
                events.OnProgress(written, std::max(finish.Frames, written), StepText);
            haveVideo = nextVideo();
        } else {
            write(a.get(), soundBase, audio);
            haveSound = sound->Next(a.get());
        }
    }
    av_packet_unref(v.get());
    av_packet_unref(a.get());
    // A stopped finish still writes the index: the file plays up to where it stopped.
    if (const int e = av_write_trailer(out.get()); e < 0)
        ThrowAvError("Cannot write " + finish.OutputFile, e);
    if (const int e = avio_closep(&out->pb); e < 0)
        ThrowAvError("Cannot write " + finish.OutputFile, e);
    if (events.OnProgress) events.OnProgress(written, std::max(finish.Frames, written), StepText);
    return !stopped;
}
