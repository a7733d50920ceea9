#include "platform/image/U_Bitmap32.h"

#include "platform/base/U_Errors.h"

void TBitmap32::SetSize(int width, int height) {
    if (width < 0 || height < 0) throw EMorvantaError("Invalid bitmap size");
    Width = width;
    Height = height;
    Pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
}
