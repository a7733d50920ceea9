#include "video/U_FrameServer.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <system_error>

#include "platform/base/U_Errors.h"
#include "platform/base/U_Rounding.h"
#include "platform/os/U_FileOps.h"
#include "platform/text/U_TextRenderer.h"

namespace {

// 12 points at 96 dots per inch.
constexpr int CaptionEmPixels = 16;

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

// Band pixels keep 60 % of each colour: round(0.6 x v), never a tie.
const std::array<std::uint8_t, 256>& DarkenTable() {
    static const std::array<std::uint8_t, 256> table = [] {
        std::array<std::uint8_t, 256> t{};
        for (int v = 0; v < 256; ++v)
            t[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(RoundToInt(0.6L * v));
        return t;
    }();
    return table;
}

} // namespace

int CaptionBandTop(int height) {
    // floor(height x 0.93) in exact integer arithmetic.
    const long long band = static_cast<long long>(height) * 93 / 100;
    return static_cast<int>(std::max(0LL, std::min(band, static_cast<long long>(height) - 28)));
}

TFrameServer::TFrameServer(TStringList& PicturePaths, const TStringList* PictureCaptions,
                           int FramesPerPicture, int Height, int Width, bool DynamicPictures,
                           bool CrossFade, bool CaptionText, bool Greyscale, bool Sepia,
                           std::uint64_t MaxPicturePixels, const TPictureOptions& PictureOptions)
    : FramesPerPicture(Checked(FramesPerPicture, 1, INT_MAX / 2, "frames per picture")),
      FadeFrames(CrossFade ? FramesPerPicture / 20 * 6 : 0),
      Height(Checked(Height, 1, MaxFrameSide, "frame height")),
      Width(Checked(Width, 1, MaxFrameSide, "frame width")),
      PanStepY(PanStep(Height, FramesPerPicture)), PanStepX(PanStep(Width, FramesPerPicture)),
      DynamicPictures(DynamicPictures), CrossFade(CrossFade), CaptionText(CaptionText),
      Greyscale(Greyscale), Sepia(Sepia), PicturePaths(PicturePaths),
      PictureCaptions(PictureCaptions), MaxPicturePixels(MaxPicturePixels),
      FPictureOptions(PictureOptions), Fader(FadeFrom, FadeTo, FadeFrames) {
    // Every server on a list hears of its changes until it is destroyed (Watch goes first).
    Watch = PicturePaths.Subscribe([this] { ListChanged(); });
}

TFrameServer::~TFrameServer() = default;

int TFrameServer::FrameCount() const {
    const long long n = static_cast<long long>(PicturePaths.Count());
    const long long count = n * FramesPerPicture + (n - 1) * FadeFrames;
    if (count > INT_MAX) throw EMorvantaError("Too many frames for one video");
    return static_cast<int>(count);
}

void TFrameServer::GetFrame(TBitmap32& Frame, int Index) {
    if (Index < 0 || Index >= FrameCount()) throw EListIndexError(Index);
    const int period = FramesPerPicture + FadeFrames;
    const int picture = Index / period;
    const int offset = Index % period;
    if (offset < FramesPerPicture)
        RenderStill(picture, offset, Frame);
    else
        RenderFade(picture, offset - FramesPerPicture, Frame);
    if (CaptionText) DrawTextOverlay(Frame);
}

namespace {

// Every picture of a server, loaded ahead or not, is made by this one function.
std::unique_ptr<TImageFile> MakePicture(const std::string& path, int width, int height,
                                        std::uint64_t maxPixels, TPictureOptions options,
                                        bool greyscale, bool sepia) {
    auto picture = std::make_unique<TImageFile>(path, width, height, maxPixels, options);
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
    // Panning moves a frame-sized window over a canvas a third larger.
    const int w = DynamicPictures ? 4 * Width / 3 : Width;
    const int h = DynamicPictures ? 4 * Height / 3 : Height;
    std::unique_ptr<TImageFile> picture;
    if (FNext.valid() && FNextIndex == PictureIndex && FNextPath == path) {
        FNextIndex = -1;
        picture = FNext.get(); // the load's own error, if it failed
    } else {
        FNext = {}; // waits for a load nobody wants any more
        FNextIndex = -1;
        picture = MakePicture(path, w, h, MaxPicturePixels, FPictureOptions, Greyscale, Sepia);
    }
    Picture = std::move(picture);
    FCachedIndex = PictureIndex;
    if (FPrefetch) StartNextPicture(PictureIndex + 1);
}

void TFrameServer::StartNextPicture(int PictureIndex) {
    if (static_cast<std::size_t>(PictureIndex) >= PicturePaths.Count()) return;
    const int w = DynamicPictures ? 4 * Width / 3 : Width;
    const int h = DynamicPictures ? 4 * Height / 3 : Height;
    FNextPath = PicturePaths.At(PictureIndex);
    try {
        FNext = std::async(std::launch::async, MakePicture, FNextPath, w, h, MaxPicturePixels,
                           FPictureOptions, Greyscale, Sepia);
        FNextIndex = PictureIndex;
    } catch (const std::system_error&) {
        // No thread to spare: the picture is loaded when it is needed.
        FNextIndex = -1;
    }
}

void TFrameServer::RenderStill(int PictureIndex, int Offset, TBitmap32& Frame) {
    LoadPicture(PictureIndex);
    int left = 0;
    int top = 0;
    if (DynamicPictures) {
        // Four diagonals in turn, a quarter of the frame size end to end.
        const long double b = Offset;
        const long double back = FramesPerPicture - 1 - Offset;
        switch (PictureIndex % 4) {
        case 0:
            top = RoundToInt(b * PanStepY);
            left = RoundToInt(b * PanStepX);
            break;
        case 1:
            top = RoundToInt(back * PanStepY);
            left = RoundToInt(b * PanStepX);
            break;
        case 2:
            top = RoundToInt(back * PanStepY);
            left = RoundToInt(back * PanStepX);
            break;
        default:
            top = RoundToInt(b * PanStepY);
            left = RoundToInt(back * PanStepX);
            break;
        }
    }
    Picture->CopyRegion(Frame, left, top, Width, Height);
}

void TFrameServer::RenderFade(int FadeIndex, int Step, TBitmap32& Frame) {
    if (FadeIndex != FFadeIndex) {
        // Forget the old end frames first: a failure below leaves them half replaced.
        FFadeIndex = -1;
        RenderStill(FadeIndex, FramesPerPicture - 1, FadeFrom);
        RenderStill(FadeIndex + 1, 0, FadeTo);
        FFadeIndex = FadeIndex;
    }
    Fader.Blend(Step, Frame);
}

void TFrameServer::DrawTextOverlay(TBitmap32& Frame) {
    const int h = Frame.Height;
    const int w = Frame.Width;
    const auto& dark = DarkenTable();
    for (int y = CaptionBandTop(h); y < h; ++y) {
        std::uint32_t* row = Frame.Row(y);
        for (int x = 0; x < w; ++x) {
            const std::uint32_t p = row[x];
            row[x] = PackRGB(dark[RedOf(p)], dark[GreenOf(p)], dark[BlueOf(p)], 255);
        }
    }
    if (FCachedIndex == -1) return;

    if (!Text) Text = std::make_unique<TTextRenderer>(CaptionEmPixels);
    char counter[64];
    std::snprintf(counter, sizeof counter, "Picture : %d / %lld", FCachedIndex + 1,
                  static_cast<long long>(PicturePaths.Count()));
    FCounter.assign(counter); // keeps its buffer from frame to frame
    Text->DrawText(Frame, 10, h - 20, FCounter);
    if (PictureCaptions) {
        Text->DrawText(Frame, w / 2 - 50, h - 20, PictureCaptions->At(FCachedIndex));
    } else {
        // Made once per picture, not once per frame.
        if (FFileNameIndex != FCachedIndex) {
            FFileName = FileNameOf(PicturePaths.At(FCachedIndex));
            FFileNameIndex = FCachedIndex;
        }
        Text->DrawText(Frame, w / 2 - 50, h - 20, FFileName);
    }
}

void TFrameServer::SetPictureOptions(const TPictureOptions& Options) {
    FPictureOptions = Options;
    FNext = {}; // read the old way
    FNextIndex = -1;
    FCachedIndex = -1;
    FFadeIndex = -1;
}

void TFrameServer::ListChanged() {
    // The end frames of a prepared fade stay; only the picture is looked up again.
    FCachedIndex = -1;
    FFileNameIndex = -1;
}
