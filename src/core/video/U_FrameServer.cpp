#include "video/U_FrameServer.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <system_error>

#include "platform/base/U_Errors.h"
#include "platform/base/U_Rounding.h"
#include "platform/os/U_FileOps.h"
#include "video/U_CaptionOverlay.h"
#include "video/U_Motion.h"
#include "video/U_PhotoDate.h"
#include "video/U_Transitions.h"

namespace {

int Checked(int value, int low, int high, const char* what) {
    if (value < low || value > high)
        throw EMorvantaError(std::string("Invalid ") + what + ": " + std::to_string(value));
    return value;
}

// Pan distance per frame: a quarter of the side spread over the picture's still frames.
long double PanStep(int side, int framesPerPicture) {
    if (framesPerPicture > 1) return static_cast<long double>(side) / 4 / (framesPerPicture - 1);
    return side;
}

// A transition lasts 30 % of the outgoing picture's still time, in whole sixes of frames.
int TransitionFrames(int framesPerPicture, TTransition kind) {
    return kind == TTransition::Cut ? 0 : framesPerPicture / 20 * 6;
}

} // namespace

TFrameServer::TFrameServer(TStringList& PicturePaths, const TStringList* PictureCaptions,
                           int FramesPerPicture, int Height, int Width, const TShowStyle& Style,
                           std::uint64_t MaxPicturePixels, const TPictureOptions& PictureOptions)
    : FramesPerPicture(Checked(FramesPerPicture, 1, INT_MAX / 2, "frames per picture")),
      FadeFrames(Style.CrossFade ? TransitionFrames(FramesPerPicture, Style.Transition) : 0),
      Height(Checked(Height, 1, MaxFrameSide, "frame height")),
      Width(Checked(Width, 1, MaxFrameSide, "frame width")),
      PanStepY(PanStep(Height, FramesPerPicture)), PanStepX(PanStep(Width, FramesPerPicture)),
      Style(Style), DynamicPictures(Style.DynamicPictures), CrossFade(Style.CrossFade),
      CaptionText(Style.CaptionText), Greyscale(Style.Greyscale), Sepia(Style.Sepia),
      PicturePaths(PicturePaths), PictureCaptions(PictureCaptions),
      MaxPicturePixels(MaxPicturePixels), FPictureOptions(PictureOptions) {
    // Every server on a list hears of its changes until it is destroyed (Watch goes first).
    Watch = PicturePaths.Subscribe([this] { ListChanged(); });
}

TFrameServer::~TFrameServer() = default;

void TFrameServer::SetPictureStyles(std::vector<TPictureStyle> Styles, int FrameDurationMs) {
    FPictureStyles = std::move(Styles);
    FPictureFrames.assign(FPictureStyles.size(), FramesPerPicture);
    FUniform = true;
    for (std::size_t i = 0; i < FPictureStyles.size(); ++i) {
        const TPictureStyle& style = FPictureStyles[i];
        if (style.Transition) FUniform = false;
        if (style.TimeMs && FrameDurationMs > 0) {
            const int frames =
                RoundToInt(static_cast<long double>(*style.TimeMs) / FrameDurationMs);
            FPictureFrames[i] = std::clamp(frames, 1, INT_MAX / 4);
            FUniform = false;
        }
    }
    FTimelineValid = false;
    FNext = {};
    FNextIndex = -1;
    FCachedIndex = -1;
    FFadeIndex = -1;
}

const TPictureStyle* TFrameServer::PictureStyleOf(int PictureIndex) const {
    if (PictureIndex < 0 || static_cast<std::size_t>(PictureIndex) >= FPictureStyles.size())
        return nullptr;
    return &FPictureStyles[static_cast<std::size_t>(PictureIndex)];
}

int TFrameServer::FramesOf(int PictureIndex) const {
    if (PictureIndex < 0 || static_cast<std::size_t>(PictureIndex) >= FPictureFrames.size())
        return FramesPerPicture;
    return FPictureFrames[static_cast<std::size_t>(PictureIndex)];
}

std::uint64_t TFrameServer::Seed() const {
    if (!FSeedValid) {
        FSeed = ShowSeed(PicturePaths.Items());
        FSeedValid = true;
    }
    return FSeed;
}

TTransition TFrameServer::TransitionOf(int PictureIndex) const {
    const TPictureStyle* own = PictureStyleOf(PictureIndex);
    TTransition kind = Style.CrossFade ? Style.Transition : TTransition::Cut;
    if (own && own->Transition) kind = *own->Transition;
    return ResolveTransition(kind, Seed(), PictureIndex);
}

TFrameServer::TLook TFrameServer::LookOf(int PictureIndex) const {
    const TPictureStyle* own = PictureStyleOf(PictureIndex);
    TMotion motion = Style.DynamicPictures ? Style.Motion : TMotion::Still;
    if (own && own->Motion) motion = *own->Motion;
    motion = ResolveMotion(motion, Seed(), PictureIndex);
    const TFill fill = own && own->Fill ? *own->Fill : Style.Fill;
    // A moving view travels over a canvas a third larger than the frame.
    const bool moving = motion != TMotion::Still;
    return {motion, fill, moving ? 4 * Width / 3 : Width, moving ? 4 * Height / 3 : Height};
}

void TFrameServer::BuildTimeline() const {
    const std::size_t n = PicturePaths.Count();
    FTimeline.resize(n);
    long long start = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const int p = static_cast<int>(i);
        TSlot& slot = FTimeline[i];
        slot.Start = start;
        slot.Frames = FramesOf(p);
        slot.Fade = i + 1 < n ? TransitionFrames(slot.Frames, TransitionOf(p)) : 0;
        start += static_cast<long long>(slot.Frames) + slot.Fade;
    }
    FTimelineValid = true;
}

TFrameServer::TSlot TFrameServer::Slot(int PictureIndex) const {
    const long long n = static_cast<long long>(PicturePaths.Count());
    if (PictureIndex < 0 || PictureIndex >= n) throw EListIndexError(PictureIndex);
    if (FUniform) {
        const long long period = static_cast<long long>(FramesPerPicture) + FadeFrames;
        return {PictureIndex * period, FramesPerPicture, PictureIndex + 1 < n ? FadeFrames : 0};
    }
    if (!FTimelineValid || FTimeline.size() != PicturePaths.Count()) BuildTimeline();
    return FTimeline[static_cast<std::size_t>(PictureIndex)];
}

int TFrameServer::FrameCount() const {
    const long long n = static_cast<long long>(PicturePaths.Count());
    long long count = n * FramesPerPicture + (n - 1) * FadeFrames;
    if (!FUniform && n > 0) {
        const TSlot last = Slot(static_cast<int>(n - 1));
        count = last.Start + last.Frames;
    }
    if (count > INT_MAX) throw EMorvantaError("Too many frames for one video");
    return static_cast<int>(count);
}

TFrameServer::TPlace TFrameServer::Locate(int Index) const {
    if (Index < 0 || Index >= FrameCount()) throw EListIndexError(Index);
    if (FUniform) {
        const int period = FramesPerPicture + FadeFrames;
        return {Index / period, Index % period};
    }
    const auto after =
        std::upper_bound(FTimeline.begin(), FTimeline.end(), static_cast<long long>(Index),
                         [](long long i, const TSlot& slot) { return i < slot.Start; });
    const int picture = static_cast<int>(after - FTimeline.begin()) - 1;
    return {picture, static_cast<int>(Index - FTimeline[static_cast<std::size_t>(picture)].Start)};
}

void TFrameServer::GetFrame(TBitmap32& Frame, int Index) {
    const TPlace place = Locate(Index);
    const int frames = FramesOf(place.Picture);
    if (place.Offset < frames)
        RenderStill(place.Picture, place.Offset, Frame);
    else
        RenderFade(place.Picture, place.Offset - frames, Frame);
    if (CaptionText) DrawTextOverlay(Frame);
}

bool TFrameServer::RepeatsPrevious(int Index) const {
    if (Index < 1 || Index >= FrameCount()) return false;
    const TPlace place = Locate(Index);
    // The picture in hand and its texts must be the ones the previous frame was drawn from: a
    // changed list or reading mode has dropped them.
    if (place.Offset < 1 || place.Offset >= FramesOf(place.Picture) ||
        FCachedIndex != place.Picture || (CaptionText && FTextIndex != place.Picture))
        return false;
    const TLook look = LookOf(place.Picture);
    if (look.Motion == TMotion::Still) return true;
    if (look.Motion != TMotion::Pan || Style.Ease) return false;
    const int frames = FramesOf(place.Picture);
    const TPanWindow now = PanWindow(place.Picture, place.Offset, frames, Width, Height);
    const TPanWindow before = PanWindow(place.Picture, place.Offset - 1, frames, Width, Height);
    return now.Left == before.Left && now.Top == before.Top;
}

namespace {

// Every picture of a server, loaded ahead or not, is made by this one function.
std::unique_ptr<TImageFile> MakePicture(const std::string& path, int width, int height, TFill fill,
                                        std::uint64_t maxPixels, TPictureOptions options,
                                        bool greyscale, bool sepia) {
    auto picture = std::make_unique<TImageFile>(path, width, height, maxPixels, options, fill);
    if (greyscale) picture->Greyscale();
    if (sepia) picture->Sepia();
    return picture;
}

} // namespace

void TFrameServer::LoadPicture(int PictureIndex) {
    if (PictureIndex == FCachedIndex) return;
    // The old picture goes first, so that a failed load leaves the cache empty.
    Picture.reset();
    FCachedIndex = -1;
    const std::string& path = PicturePaths.At(PictureIndex);
    const TLook look = LookOf(PictureIndex);
    std::unique_ptr<TImageFile> picture;
    if (FNext.valid() && FNextIndex == PictureIndex && FNextPath == path) {
        FNextIndex = -1;
        picture = FNext.get(); // the load's own error, if it failed
    } else {
        FNext = {}; // waits for a load nobody wants any more
        FNextIndex = -1;
        picture = MakePicture(path, look.CanvasWidth, look.CanvasHeight, look.Fill,
                              MaxPicturePixels, FPictureOptions, Greyscale, Sepia);
    }
    Picture = std::move(picture);
    FCachedIndex = PictureIndex;
    if (FPrefetch) StartNextPicture(PictureIndex + 1);
}

void TFrameServer::StartNextPicture(int PictureIndex) {
    if (static_cast<std::size_t>(PictureIndex) >= PicturePaths.Count()) return;
    const TLook look = LookOf(PictureIndex);
    FNextPath = PicturePaths.At(PictureIndex);
    try {
        FNext = std::async(std::launch::async, MakePicture, FNextPath, look.CanvasWidth,
                           look.CanvasHeight, look.Fill, MaxPicturePixels, FPictureOptions,
                           Greyscale, Sepia);
        FNextIndex = PictureIndex;
    } catch (const std::system_error&) {
        // No thread to spare: the picture is loaded when it is needed.
        FNextIndex = -1;
    }
}

void TFrameServer::RenderStill(int PictureIndex, int Offset, TBitmap32& Frame) {
    LoadPicture(PictureIndex);
    const TLook look = LookOf(PictureIndex);
    const int frames = FramesOf(PictureIndex);
    if (look.Motion == TMotion::Pan && !Style.Ease) {
        // Four diagonals in turn, a quarter of the frame size end to end, whole pixels.
        const TPanWindow window = PanWindow(PictureIndex, Offset, frames, Width, Height);
        Picture->CopyRegion(Frame, window.Left, window.Top, Width, Height);
    } else if (look.Motion == TMotion::Still) {
        Picture->CopyRegion(Frame, 0, 0, Width, Height);
    } else {
        const TViewWindow view =
            MotionWindow(look.Motion, PictureIndex, Offset, frames, Style.Ease,
                         Picture->Bitmap.Width, Picture->Bitmap.Height, Width, Height);
        SampleWindow(Picture->Bitmap, view, Frame, Width, Height);
    }
}

void TFrameServer::RenderFade(int FadeIndex, int Step, TBitmap32& Frame) {
    if (FadeIndex != FFadeIndex) {
        // Forget the old end frames first: a failure below leaves them half replaced.
        FFadeIndex = -1;
        RenderStill(FadeIndex, FramesOf(FadeIndex) - 1, FadeFrom);
        RenderStill(FadeIndex + 1, 0, FadeTo);
        FFadeIndex = FadeIndex;
    }
    const int steps = TransitionFrames(FramesOf(FadeIndex), TransitionOf(FadeIndex));
    RenderTransition(TransitionOf(FadeIndex), FadeFrom, FadeTo, Step, steps, Frame);
}

void TFrameServer::DrawTextOverlay(TBitmap32& Frame) {
    if (!Captions) Captions = std::make_unique<TCaptionOverlay>(Style.Caption, FCaptionScale);
    Captions->DrawBand(Frame);
    if (FCachedIndex == -1) return;
    if (FTextIndex != FCachedIndex) {
        // Made once per picture, not once per frame.
        FCounter.clear();
        if (Style.Caption.Counter) {
            char counter[64];
            std::snprintf(counter, sizeof counter, "Picture : %d / %lld", FCachedIndex + 1,
                          static_cast<long long>(PicturePaths.Count()));
            FCounter = counter;
        }
        const std::string& path = PicturePaths.At(FCachedIndex);
        FCaption = PictureCaptions ? PictureCaptions->At(FCachedIndex) : FileNameOf(path);
        if (FCaption.find(PhotoDateField) != std::string::npos)
            FCaption = ExpandPhotoDate(FCaption, path, Style.Caption.DateLocale);
        FTextIndex = FCachedIndex;
    }
    Captions->DrawTexts(Frame, FCounter, FCaption);
}

void TFrameServer::SetPictureOptions(const TPictureOptions& Options) {
    FPictureOptions = Options;
    FNext = {}; // read the old way
    FNextIndex = -1;
    FCachedIndex = -1;
    FFadeIndex = -1;
    FTextIndex = -1;
}

void TFrameServer::SetCaptionScale(double scale) {
    FCaptionScale = scale;
    Captions.reset(); // made again on the next frame's text
}

void TFrameServer::ListChanged() {
    // The end frames of a prepared fade stay; only the picture is looked up again.
    FCachedIndex = -1;
    FTextIndex = -1;
    FTimelineValid = false;
    FSeedValid = false;
}
