#include "app/U_BeatCuts.h"

#include <algorithm>
#include <cmath>

#include "audio/U_BeatTracker.h"
#include "audio/U_SongList.h"
#include "platform/base/U_Rounding.h"
#include "video/U_FrameServer.h"

namespace {

// Where each picture change lies, in frames: the middle of the transition after each picture
// but the last (its start for a cut).
std::vector<double> ChangeFrames(const TFrameServer& server) {
    std::vector<double> changes;
    for (int i = 0; i + 1 < static_cast<int>(server.PictureCount()); ++i) {
        const TFrameServer::TSlot slot = server.Slot(i);
        changes.push_back(static_cast<double>(slot.Start + slot.Frames) + slot.Fade / 2.0);
    }
    return changes;
}

void SetFrames(std::vector<TPictureStyle>& styles, const std::vector<int>& frames,
               int frameDuration) {
    for (std::size_t i = 0; i < frames.size(); ++i) styles[i].TimeMs = frames[i] * frameDuration;
}

} // namespace

TBeatCuts CutOnTheBeat(const TVideoMakerInputs& inputs, int frameDuration,
                       const std::vector<double>& beats) {
    TBeatCuts result;
    const std::size_t count = inputs.PicturePaths ? inputs.PicturePaths->Count() : 0;
    result.Styles = inputs.PictureStyles;
    result.Styles.resize(count);
    if (count < 2 || inputs.SingleFrame || frameDuration <= 0 || beats.empty()) return result;

    TFrameServer server(*inputs.PicturePaths, nullptr,
                        FramesPerPicture(inputs.PictureDurationMs, frameDuration, false), 16, 16,
                        ShowStyleOf(inputs));
    server.SetPictureStyles(result.Styles, frameDuration);
    const int total = server.FrameCount();
    const std::vector<double> before = ChangeFrames(server);
    result.Changes = static_cast<int>(before.size());
    std::vector<int> frames(count);
    for (std::size_t i = 0; i < count; ++i) frames[i] = server.Slot(static_cast<int>(i)).Frames;

    // The target of each change: the nearest beat within a quarter of the picture's frames,
    // after the previous target.
    std::vector<double> beatFrames;
    for (const double s : beats) beatFrames.push_back(s * 1000.0 / frameDuration);
    std::vector<double> target = before;
    double previous = 0;
    for (std::size_t i = 0; i < before.size(); ++i) {
        const auto next = std::lower_bound(beatFrames.begin(), beatFrames.end(), before[i]);
        double best = -1;
        for (auto it : {next, next == beatFrames.begin() ? next : next - 1})
            if (it != beatFrames.end() &&
                (best < 0 || std::abs(*it - before[i]) < std::abs(best - before[i])))
                best = *it;
        const double reach = 0.25 * frames[i];
        if (best >= 0 && std::abs(best - before[i]) <= reach && best > previous + 1) {
            target[i] = best;
            ++result.Moved;
        }
        previous = target[i];
    }
    if (result.Moved == 0) return result;

    // Each picture grows or shrinks by its change's move less the previous one's; transitions
    // follow their pictures' lengths, so measure again and correct once more.
    for (int pass = 0; pass < 3; ++pass) {
        SetFrames(result.Styles, frames, frameDuration);
        server.SetPictureStyles(result.Styles, frameDuration);
        const std::vector<double> now = ChangeFrames(server);
        double shifted = 0;
        for (std::size_t i = 0; i < now.size(); ++i) {
            const int move = RoundToInt(target[i] - now[i]) - static_cast<int>(shifted);
            frames[i] = std::max(1, frames[i] + move);
            shifted += move;
        }
    }
    // The last picture takes what is left: the same number of frames as before.
    SetFrames(result.Styles, frames, frameDuration);
    server.SetPictureStyles(result.Styles, frameDuration);
    frames.back() = std::max(1, frames.back() + total - server.FrameCount());
    SetFrames(result.Styles, frames, frameDuration);
    return result;
}

std::string ApplyCutsOnTheBeat(TVideoMakerInputs& inputs, int frameDuration,
                               const std::vector<std::string>& songs, int songFadeMs) {
    if (songs.empty()) return "Cut on the beat: there is no soundtrack; the times are kept.";
    TSongList music(ProbeSongs(songs), songFadeMs);
    const TBeats beats = FindBeats(music);
    if (!beats.Clear)
        return "Cut on the beat: the soundtrack has no clear beat; the pictures keep their times.";
    const TBeatCuts cuts = CutOnTheBeat(inputs, frameDuration, beats.Seconds);
    inputs.PictureStyles = cuts.Styles;
    return "Cut on the beat: " + std::to_string(cuts.Moved) + " of " +
           std::to_string(cuts.Changes) + " picture changes moved to a beat.";
}
