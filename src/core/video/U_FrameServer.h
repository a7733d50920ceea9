#pragma once
// Turns the ordered picture list into numbered frames: still, moving or in a transition, with
// an optional caption. Keeps one decoded picture and the two end frames of one transition.
#include <cstdint>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "platform/base/U_StringList.h"
#include "platform/image/U_Bitmap32.h"
#include "video/U_CaptionOverlay.h"
#include "video/U_ImageFile.h"
#include "video/U_ShowStyle.h"

class TFrameServer {
public:
    // Both lists are borrowed and must outlive the server; PictureCaptions may be null (the
    // file names are shown instead). The server watches PicturePaths for changes.
    TFrameServer(TStringList& PicturePaths, const TStringList* PictureCaptions,
                 int FramesPerPicture, int Height, int Width, const TShowStyle& Style = {},
                 std::uint64_t MaxPicturePixels = DefaultMaxPicturePixels,
                 const TPictureOptions& PictureOptions = {});
    ~TFrameServer();
    TFrameServer(const TFrameServer&) = delete;
    TFrameServer& operator=(const TFrameServer&) = delete;

    // What single pictures change of the show (index-parallel to the list; missing entries and
    // unset values are the show's). A picture's time becomes round(TimeMs / FrameDurationMs)
    // frames, at least 1; FrameDurationMs 0 keeps every picture at FramesPerPicture. The
    // transition after a picture lasts (its frames div 20) x 6 frames, none for a cut.
    void SetPictureStyles(std::vector<TPictureStyle> Styles, int FrameDurationMs);

    // The sum of every picture's frames and transitions; with no picture of its own time or
    // transition, n x FramesPerPicture + (n - 1) x FadeFrames. Below 1 means no frames.
    int FrameCount() const;
    // First frame of picture PictureIndex's still frames, its still frames and the
    // transition frames after it (0 after the last picture).
    struct TSlot {
        long long Start = 0;
        int Frames = 0;
        int Fade = 0;
    };
    TSlot Slot(int PictureIndex) const;
    std::size_t PictureCount() const { return PicturePaths.Count(); }
    // Renders frame Index into Frame (resized to Width x Height). Throws EListIndexError for
    // an index outside 0 .. FrameCount() - 1, and passes picture loading errors on.
    void GetFrame(TBitmap32& Frame, int Index);
    // True when frame Index is known, without drawing it, to be the very frame GetFrame made
    // last for Index - 1: a still picture, or a pan that has not moved a whole pixel, in
    // frames of the picture in hand. False is always safe.
    bool RepeatsPrevious(int Index) const;

    // Index of the cached picture, -1 for none.
    int CachedIndex() const { return FCachedIndex; }
    // Fade whose end frames are prepared, -1 for none.
    int FadeIndex() const { return FFadeIndex; }
    // On: every loaded picture starts the next one's loading on another thread, ready when its
    // frames are asked for. The pictures and errors are the same either way.
    void PrefetchPictures(bool On) { FPrefetch = On; }
    // How pictures are read (EXIF orientation, reduced decoding for small frames). A change
    // drops the cached picture, so the next frame shows the picture read the new way.
    void SetPictureOptions(const TPictureOptions& Options);
    const TPictureOptions& PictureOptions() const { return FPictureOptions; }
    // Captions laid out for frames `scale` times the video's size (see TCaptionOverlay); 1, the
    // default, draws them as the video has them.
    void SetCaptionScale(double scale);

    const int FramesPerPicture;
    const int FadeFrames;
    const int Height;
    const int Width;
    const long double PanStepY;
    const long double PanStepX;
    const TShowStyle Style;
    const bool DynamicPictures;
    const bool CrossFade;
    const bool CaptionText;
    const bool Greyscale;
    const bool Sepia;

private:
    struct TLook {
        TMotion Motion;
        TFill Fill;
        int CanvasWidth;
        int CanvasHeight;
    };
    TLook LookOf(int PictureIndex) const;
    struct TPlace {
        int Picture = 0;
        int Offset = 0; // frames after the picture's first; past its still frames: a transition
    };
    TPlace Locate(int Index) const;
    TTransition TransitionOf(int PictureIndex) const;
    int FramesOf(int PictureIndex) const;
    const TPictureStyle* PictureStyleOf(int PictureIndex) const;
    std::uint64_t Seed() const;
    void BuildTimeline() const;
    void LoadPicture(int PictureIndex);
    void StartNextPicture(int PictureIndex);
    void RenderStill(int PictureIndex, int Offset, TBitmap32& Frame);
    void RenderFade(int FadeIndex, int Step, TBitmap32& Frame);
    void DrawTextOverlay(TBitmap32& Frame);
    void ListChanged();

    TStringList& PicturePaths;
    const TStringList* PictureCaptions;
    const std::uint64_t MaxPicturePixels;
    std::vector<TPictureStyle> FPictureStyles;
    std::vector<int> FPictureFrames; // per picture, from FPictureStyles' times
    bool FUniform = true;            // no picture has its own time or transition
    mutable std::vector<TSlot> FTimeline;
    mutable bool FTimelineValid = false;
    mutable std::uint64_t FSeed = 0;
    mutable bool FSeedValid = false;
    TPictureOptions FPictureOptions;
    std::unique_ptr<TImageFile> Picture;
    int FCachedIndex = -1;
    int FFadeIndex = -1;
    bool FPrefetch = false;
    int FNextIndex = -1;
    std::string FNextPath;
    std::future<std::unique_ptr<TImageFile>> FNext; // owns no reference to this server
    TBitmap32 FadeFrom;
    TBitmap32 FadeTo;
    int FTextIndex = -1; // picture whose counter and caption FCounter and FCaption hold
    std::string FCounter;
    std::string FCaption;
    std::unique_ptr<TCaptionOverlay> Captions; // made on first use: most servers draw no text
    double FCaptionScale = 1;
    TStringList::TSubscription Watch; // last: released first, before anything it reaches
};
