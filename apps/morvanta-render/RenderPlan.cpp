#include "RenderPlan.h"

#include <cctype>
#include <cstdio>
#include <exception>

#include "app/U_BeatCuts.h"
#include "app/U_PictureTimes.h"
#include "app/U_Preflight.h"
#include "app/U_Project.h"
#include "app/U_ProjectSongs.h"
#include "audio/U_AudioFile.h"
#include "audio/U_SongList.h"
#include "platform/base/U_Limits.h"
#include "platform/container/U_Container.h"
#include "platform/os/U_Settings.h"
#include "video/U_ImageFile.h"

namespace {

std::string PadFourCC(std::string code) {
    if (code.size() < 4) code.append(4 - code.size(), ' ');
    return code;
}

bool SameFourCC(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The codec list's entry: -c must name a listed FourCC; otherwise the last one used, as the
// window picks it. "" with the message said when -c names none.
bool ChooseCodecEntry(const TRenderOptions& options, const std::vector<std::string>& codecs,
                      std::string& entry) {
    if (!options.Codec) {
        const int index = ChooseCodecIndex(codecs, ReadSetting("LastFCC"));
        if (index >= 0) entry = codecs[static_cast<std::size_t>(index)];
        return true;
    }
    const std::string wanted = PadFourCC(*options.Codec);
    for (const auto& line : codecs)
        if (SameFourCC(line.substr(0, 4), wanted)) {
            entry = line;
            return true;
        }
    Say("No compressor for " + *options.Codec + " available");
    return false;
}

// The soundtrack's songs: every -s must be usable; a song of the project's that is not is left
// out with a warning. `days` is the whole soundtrack's playing time.
bool ChooseSound(const TRenderOptions& options, const TProject& project, TRenderPlan& plan,
                 double& days) {
    days = 0;
    if (options.NoSound) return true;
    std::vector<std::string> wanted;
    if (options.Sound) {
        wanted.push_back(*options.Sound);
        wanted.insert(wanted.end(), options.MoreSongs.begin(), options.MoreSongs.end());
    } else {
        wanted = ProjectSongs(project);
    }
    if (wanted.size() > MaxSongCount) {
        Say("Too many songs: at most " + std::to_string(MaxSongCount));
        return false;
    }
    std::vector<TSongInfo> songs;
    for (const auto& path : wanted) {
        try {
            songs.push_back(ProbeSong(path));
        } catch (const std::exception& e) {
            if (options.Sound) {
                Say("Cannot use the soundtrack " + path + ": " + e.what());
                return false;
            }
            Say("Warning: the project's soundtrack " + path + " is not used: " + e.what());
        }
    }
    if (!options.SongFadeNote.empty() && songs.size() > 1) Say(options.SongFadeNote);
    plan.SongFadeMs = options.SongFadeMs;
    days = SoundtrackDays(songs, plan.SongFadeMs);
    for (const auto& song : songs) {
        if (plan.Sound.empty())
            plan.Sound = song.Path;
        else
            plan.MoreSongs.push_back(song.Path);
    }
    return true;
}

// The container must hold the codec: one named with -c is refused with what fits; the last one
// used gives way to the container's usual codec, with a note.
bool FitCodecToContainer(const TRenderOptions& options, TContainer container, std::string& entry) {
    if (entry.size() < 4) return true;
    // Nothing chosen yet: an MP4, MKV or WebM gets the codec players expect in it.
    if (!options.Codec && container != TContainer::Avi && ReadSetting("LastFCC").empty())
        if (const auto usual = FindCodec(FallbackFourCC(container))) entry = usual->Line();
    const auto codec = FindCodec(entry.substr(0, 4));
    if (!codec || ContainerHolds(container, *codec)) return true;
    if (options.Codec) {
        Say(ContainerRefusal(container, *codec, ListCodecInfos()));
        return false;
    }
    const auto fallback = FindCodec(FallbackFourCC(container));
    if (!fallback || !ContainerHolds(container, *fallback)) {
        Say(ContainerRefusal(container, *codec, ListCodecInfos()));
        return false;
    }
    Say(ContainerFileText(container) + " cannot hold " + codec->FourCC.substr(0, 4) + ": using " +
        fallback->Line() + ".");
    entry = fallback->Line();
    return true;
}

// Pictures with times of their own keep their share: every time is scaled alike.
int MatchedTime(const TRenderOptions& options, const TRenderPlan& plan, double soundDays,
                std::vector<TPictureStyle>& pictures) {
    const int seconds = plan.Sound.empty() ? 0 : SoundDurationSec(soundDays);
    const auto match =
        MatchAudioTimes(options.TimeMs, pictures, plan.Paths.Count(), seconds, options.CrossFade);
    if (!match) return options.TimeMs;
    pictures = match->Pictures;
    if (match->AtMinimum) Say(MinimalPictureDurationText);
    if (plan.Sound.empty())
        Say("There is no soundtrack to match: each picture lasts " + std::to_string(match->ShowMs) +
            " ms.");
    else
        Say("Time per picture matched to the soundtrack: " + std::to_string(match->ShowMs) +
            " ms.");
    return match->ShowMs;
}

} // namespace

void Say(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
}

std::string PictureCount(std::size_t used, std::size_t skipped) {
    std::string text = std::to_string(used) + (used == 1 ? " picture" : " pictures");
    if (skipped > 0) text += ", " + std::to_string(skipped) + " skipped";
    return text;
}

int PlanRender(const TRenderOptions& options, const std::vector<std::string>& codecs,
               TRenderPlan& plan) {
    TProject project;
    if (options.Project) project = LoadProject(*options.Project);

    std::vector<std::string> entries = project.Entries;
    entries.insert(entries.end(), options.Pictures.begin(), options.Pictures.end());
    for (const auto& note : project.Style.Notes) Say("Warning: " + note);
    // Each entry's own look, the project's first.
    std::vector<TPictureStyle> entryStyles = project.Style.Pictures;
    entryStyles.resize(project.Entries.size());
    entryStyles.insert(entryStyles.end(), options.PictureStyles.begin(),
                       options.PictureStyles.end());
    entryStyles.resize(entries.size());
    if (entries.empty()) {
        Say("Empty picture list");
        return 1;
    }
    const std::string output = options.Output.value_or(project.Output.value_or(""));
    if (output.empty()) {
        Say("morvanta-render: Invalid output file");
        Say("Try 'morvanta-render --help'.");
        return 2;
    }
    plan.Output = WithContainerExtension(output);
    if (plan.Output != output) Say("Writing to " + plan.Output + " (\".avi\" added).");
    const TContainer container = ContainerOf(plan.Output);
    plan.SoundMode = SoundModeFromText(options.Audio).value_or(TSoundMode::Auto);
    plan.FadeOutMs = options.FadeOutMs;

    // The quick checks first, then every picture.
    double soundDays = 0;
    if (!ChooseSound(options, project, plan, soundDays)) return 1;
    std::string codecEntry;
    if (!ChooseCodecEntry(options, codecs, codecEntry)) return 1;
    if (!FitCodecToContainer(options, container, codecEntry)) return 1;
    plan.AutoRotate = options.AutoRotate && ReadAutoRotateSetting();
    TPictureCheck pictures = CheckPictures(entries, plan.AutoRotate);
    for (const auto& reason : pictures.Skipped) Say("Warning: picture skipped: " + reason);
    plan.Paths = pictures.Paths;
    std::vector<TPictureStyle> pictureStyles;
    for (const std::size_t used : pictures.Used) pictureStyles.push_back(entryStyles[used]);
    plan.Captions = pictures.Captions;
    plan.Skipped = pictures.Skipped.size();
    if (plan.Paths.Empty()) {
        Say("Empty picture list");
        Say(PictureCount(0, plan.Skipped) + ".");
        return 1;
    }

    TRunInputs inputs;
    ApplyProjectStyle(project.Style, inputs.Style);
    for (const auto& [key, value] : options.Style) ApplyStyleSetting(inputs.Style, key, value);
    inputs.PictureStyles = pictureStyles;
    if (options.MatchAudio) {
        inputs.TimePerPicture = MatchedTime(options, plan, soundDays, inputs.PictureStyles);
    } else {
        inputs.TimePerPicture = options.TimeMs;
        if (!options.TimeNote.empty()) Say(options.TimeNote);
    }
    if (!options.FpsNote.empty()) Say(options.FpsNote);
    inputs.FramesPerSecond = options.Fps;
    inputs.Resolution = std::to_string(options.Width) + "x" + std::to_string(options.Height);
    inputs.CodecEntry = codecEntry;
    inputs.DynamicsEnabled = !options.SingleFrame;
    inputs.DynamicsChecked = options.Dynamic;
    inputs.CrossFadeChecked = options.CrossFade;
    inputs.CaptionTextChecked = options.Captions;
    const TEffect effect = options.Effect.value_or(project.Effect.value_or(TEffect::None));
    inputs.Greyscale = effect == TEffect::Greyscale;
    inputs.Sepia = effect == TEffect::Sepia;
    plan.Settings = DeriveRunSettings(inputs);
    if (options.Beat) {
        TVideoMakerInputs frames =
            FrameInputsFor(plan.Settings, &plan.Paths, &plan.Captions, plan.AutoRotate);
        std::vector<std::string> songs;
        if (!plan.Sound.empty()) songs.push_back(plan.Sound);
        songs.insert(songs.end(), plan.MoreSongs.begin(), plan.MoreSongs.end());
        try {
            Say(ApplyCutsOnTheBeat(frames, plan.Settings.FrameDuration, songs, plan.SongFadeMs));
            plan.Settings.PictureStyles = frames.PictureStyles;
        } catch (const std::exception& e) {
            Say(std::string("Cut on the beat: ") + e.what() + "; the times are kept.");
        }
    }
    if (plan.Settings.VisualOptionsDisabled) Say(VisualOptionsDisabledText);
    return 0;
}
