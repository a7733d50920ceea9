#pragma once
// Turns the ordered picture list into numbered frames: still, panned or cross-faded, with an
// optional caption band. Keeps one decoded picture and the two end frames of one fade.
#include <cstdint>
#include <future>
#include <memory>
#include <string>

#include "platform/base/U_StringList.h"
#include "platform/image/U_Bitmap32.h"
#include "video/U_FramesFader.h"
#include "video/U_ImageFile.h"

class TTextRenderer;

// First row of the darkened caption band of a frame `height` rows high.
int CaptionBandTop(int height);

class TFrameServer {
public:
    // Both lists are borrowed and must outlive the server; PictureCaptions may be null (the
    // file names are shown instead). The server watches PicturePaths for changes.
    TFrameServer(TStringList& PicturePaths, const TStringList* PictureCaptions,
                 int FramesPerPicture, int Height, int Width, bool DynamicPictures, bool CrossFade,
                 bool CaptionText, bool Greyscale, bool Sepia,
                 std::uint64_t MaxPicturePixels = DefaultMaxPicturePixels,
                 const TPictureOptions& PictureOptions = {});
    ~TFrameServer();
    TFrameServer(const TFrameServer&) = delete;
    TFrameServer& operator=(const TFrameServer&) = delete;

    // n x FramesPerPicture + (n - 1) x FadeFrames; below 1 means no frames.
    int FrameCount() const;
    // Renders frame Index into Frame (resized to Width x Height). Throws EListIndexError for
    // an index outside 0 .. FrameCount() - 1, and passes picture loading errors on.
    void GetFrame(TBitmap32& Frame, int Index);

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

    const int FramesPerPicture;
    const int FadeFrames;
    const int Height;
    const int Width;
    const long double PanStepY;
    const long double PanStepX;
    const bool DynamicPictures;
    const bool CrossFade;
    const bool CaptionText;
    const bool Greyscale;
    const bool Sepia;

private:
    void LoadPicture(int PictureIndex);
    void StartNextPicture(int PictureIndex);
    void RenderStill(int PictureIndex, int Offset, TBitmap32& Frame);
    void RenderFade(int FadeIndex, int Step, TBitmap32& Frame);
    void DrawTextOverlay(TBitmap32& Frame);
    void ListChanged();

    TStringList& PicturePaths;
    const TStringList* PictureCaptions;
    const std::uint64_t MaxPicturePixels;
    TPictureOptions FPictureOptions;
    std::unique_ptr<TImageFile> Picture;
    int FCachedIndex = -1;
    int FFadeIndex = -1;
    int FFileNameIndex = -1; // picture whose file name FFileName holds
    std::string FFileName;
    std::string FCounter;
    bool FPrefetch = false;
    int FNextIndex = -1;
    std::string FNextPath;
    std::future<std::unique_ptr<TImageFile>> FNext; // owns no reference to this server
    TBitmap32 FadeFrom;
    TBitmap32 FadeTo;
    TFramesFader Fader;
    std::unique_ptr<TTextRenderer> Text; // made on first use: most servers never draw text
    TStringList::TSubscription Watch;    // last: released first, before anything it reaches
};
