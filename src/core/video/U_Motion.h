#pragma once
// Where the view over a picture lies at each of its frames, and the sampling that shows a view
// of any size and sub-pixel position on a frame. The plain show's pan moves a frame-sized
// window in whole pixels; every other motion is sampled between pixels, so a slow zoom moves
// smoothly instead of in one-pixel steps.
#include "platform/image/U_Bitmap32.h"
#include "video/U_ShowStyle.h"

// Top-left corner of the plain pan's window at still frame `offset` of a picture of `frames`
// frames: one of four diagonals by picture mod 4, a quarter of the frame size end to end.
struct TPanWindow {
    int Left = 0;
    int Top = 0;
};
TPanWindow PanWindow(int picture, int offset, int frames, int width, int height);

// A view in canvas pixels: its left and top edges and its size.
struct TViewWindow {
    double Left = 0;
    double Top = 0;
    double Width = 0;
    double Height = 0;
};

// How far a motion has gone at still frame `offset` (0 at the first, 1 at the last), with
// smooth start and end when `ease` is set.
double MotionProgress(int offset, int frames, bool ease);

// The view of `motion` (not Still, not Random) on a canvas of canvasWidth x canvasHeight for a
// width x height frame. Pan moves a frame-sized view as the plain pan does; ZoomIn narrows the
// whole canvas to a frame-sized view in its centre, ZoomOut widens it back; pan-and-zoom
// narrows it towards a corner chosen by picture mod 4 (odd pictures the other way round).
TViewWindow MotionWindow(TMotion motion, int picture, int offset, int frames, bool ease,
                         int canvasWidth, int canvasHeight, int width, int height);

// dest becomes width x height showing `view` of src, bilinear between source pixels at 1/256
// pixel steps; source positions beyond the edges take the edge pixels. Alpha 255.
void SampleWindow(const TBitmap32& src, const TViewWindow& view, TBitmap32& dest, int width,
                  int height);
// Which instructions the sampling may use: the widest this processor has, or the baseline
// ones every build target has. Both make the same pixels; tests compare them.
enum class TSamplingCode { Best, Baseline };
// The same into the part [left, right) x [top, bottom) of dest, which must already be
// width x height; the rest of dest is left alone.
void SampleWindowPart(const TBitmap32& src, const TViewWindow& view, TBitmap32& dest, int left,
                      int top, int right, int bottom, TSamplingCode code = TSamplingCode::Best);
