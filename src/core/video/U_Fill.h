#pragma once
// Frames for pictures of another shape than the video's: cropped to fill it, or shown whole
// over a blurred, darkened copy of themselves that fills it. Both are made once per picture.
#include "platform/image/U_Bitmap32.h"

// The centred part of src with the aspect of width x height, scaled to exactly that size.
TBitmap32 CropToFill(const TBitmap32& src, int width, int height);

// `fitted` holds a picture in [side, width - side) x [top, height - top) with bands around it:
// the bands get that picture scaled to cover the frame, blurred over about a twentieth of the
// frame's width and darkened to half. The picture itself is left as it is.
void FillBandsWithBlur(TBitmap32& fitted, int side, int top);
