#pragma once
// Small picture writers for the picture-loading tests: BMP variants and JPEGs made with
// libjpeg's own compressor.
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include <jpeglib.h>

#include "platform/image/U_Bitmap32.h"

namespace imgtest {

inline void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    b[at] = v & 0xFF;
    b[at + 1] = (v >> 8) & 0xFF;
}
inline void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
}

// A plain bottom-up 24-bit BMP of the frame.
inline std::vector<std::uint8_t> MakeBmp24(const TBitmap32& bmp) {
    const std::size_t stride = (static_cast<std::size_t>(bmp.Width) * 3 + 3) / 4 * 4;
    std::vector<std::uint8_t> b(54 + stride * bmp.Height, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, static_cast<std::uint32_t>(b.size()));
    Put32(b, 10, 54);
    Put32(b, 14, 40);
    Put32(b, 18, static_cast<std::uint32_t>(bmp.Width));
    Put32(b, 22, static_cast<std::uint32_t>(bmp.Height));
    Put16(b, 26, 1);
    Put16(b, 28, 24);
    for (int y = 0; y < bmp.Height; ++y) {
        std::uint8_t* row = &b[54 + stride * (bmp.Height - 1 - y)];
        for (int x = 0; x < bmp.Width; ++x) {
            const std::uint32_t p = bmp.At(x, y);
            row[3 * x] = BlueOf(p);
            row[3 * x + 1] = GreenOf(p);
            row[3 * x + 2] = RedOf(p);
        }
    }
    return b;
}

inline TBitmap32 SolidBitmap(int w, int h, std::uint32_t colour) {
    TBitmap32 bmp(w, h);
    for (auto& p : bmp.Pixels) p = colour;
    return bmp;
}

struct TJpegOptions {
    int Quality = 95;
    bool Progressive = false;
    J_COLOR_SPACE Space = JCS_RGB; // JCS_RGB, JCS_GRAYSCALE or JCS_CMYK
};

// Compresses `samples` (rows of w * components bytes) with libjpeg.
inline std::vector<std::uint8_t> MakeJpeg(const std::vector<std::uint8_t>& samples, int w, int h,
                                          const TJpegOptions& options) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(w);
    cinfo.image_height = static_cast<JDIMENSION>(h);
    cinfo.input_components = options.Space == JCS_GRAYSCALE ? 1 : options.Space == JCS_CMYK ? 4 : 3;
    cinfo.in_color_space = options.Space;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, options.Quality, TRUE);
    if (options.Progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    const std::size_t stride = static_cast<std::size_t>(w) * cinfo.input_components;
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&samples[cinfo.next_scanline * stride]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<std::uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

// Large flat 16 x 16 colour blocks, which JPEG keeps nearly exact.
inline std::vector<std::uint8_t> BlockSamples(int w, int h, int components,
                                              const std::vector<std::vector<int>>& colours) {
    std::vector<std::uint8_t> s(static_cast<std::size_t>(w) * h * components);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const auto& c = colours[static_cast<std::size_t>((x / 16 + y / 16) % colours.size())];
            for (int k = 0; k < components; ++k)
                s[(static_cast<std::size_t>(y) * w + x) * components + k] =
                    static_cast<std::uint8_t>(c[k]);
        }
    return s;
}

} // namespace imgtest
