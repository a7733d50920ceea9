#include "video/U_JpegDecoder.h"

#include <csetjmp>
#include <cstdio>
#include <string>

// jpeglib.h needs FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

#include "platform/base/U_Errors.h"
#include "video/U_Exif.h"
#include "video/U_Orientation.h"

namespace {

// Progressive files may carry any number of scans; a few hundred is already absurd.
constexpr int MaxScans = 1000;
// Slack for libjpeg's tables and row buffers on top of the whole-image coefficient arrays.
constexpr long MemorySlack = 32L * 1024 * 1024;
// Rows decoded before a turned picture places them: enough for whole cache lines per output row.
constexpr int BandRows = 16;

struct TJpegErrorMgr {
    jpeg_error_mgr Pub;
    jpeg_progress_mgr Progress;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

extern "C" void JpegErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<TJpegErrorMgr*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->Message);
    std::longjmp(err->Jump, 1);
}

// Warnings are dropped, except a file cut short: libjpeg would pad it with grey.
extern "C" void JpegEmitMessage(j_common_ptr cinfo, int level) {
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) JpegErrorExit(cinfo);
}

extern "C" void JpegProgress(j_common_ptr cinfo) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > MaxScans) {
        auto* err = reinterpret_cast<TJpegErrorMgr*>(cinfo->err);
        std::snprintf(err->Message, sizeof err->Message, "Too many progressive scans");
        std::longjmp(err->Jump, 1);
    }
}

// Owns the libjpeg object; destroying it frees everything libjpeg allocated.
struct TDecompressor {
    jpeg_decompress_struct Info{};
    TJpegErrorMgr Err{};
    bool Created = false;
    ~TDecompressor() {
        if (Created) jpeg_destroy_decompress(&Info);
    }
};

std::uint8_t Mul255(unsigned a, unsigned b) {
    return static_cast<std::uint8_t>((a * b + 127) / 255);
}

MORVANTA_PIXEL_LOOP void StoreRow(const JSAMPLE* s, int width, bool cmyk, bool inverted,
                                  std::uint32_t* dst) {
    if (!cmyk) {
        for (int x = 0; x < width; ++x, s += 3) dst[x] = PackRGB(s[0], s[1], s[2]);
        return;
    }
    for (int x = 0; x < width; ++x, s += 4) {
        const unsigned c = inverted ? s[0] : 255u - s[0];
        const unsigned m = inverted ? s[1] : 255u - s[1];
        const unsigned yy = inverted ? s[2] : 255u - s[2];
        const unsigned k = inverted ? s[3] : 255u - s[3];
        dst[x] = PackRGB(Mul255(c, k), Mul255(m, k), Mul255(yy, k));
    }
}

enum class TResult { Ok, LibJpegError, TooLarge };

// The smallest scale n/8 at which the upright picture still covers what fits into fitWidth x
// fitHeight: the side that limits the fit must reach the box, the other then follows.
void ChooseScale(j_decompress_ptr cinfo, bool swapsSides, int fitWidth, int fitHeight) {
    cinfo->scale_denom = 8;
    for (unsigned n = 1; n <= 8; ++n) {
        cinfo->scale_num = n;
        jpeg_calc_output_dimensions(cinfo);
        const auto w =
            static_cast<long long>(swapsSides ? cinfo->output_height : cinfo->output_width);
        const auto h =
            static_cast<long long>(swapsSides ? cinfo->output_width : cinfo->output_height);
        if (w >= fitWidth || h >= fitHeight) return;
    }
}

// The only function that calls libjpeg after the jump point: it holds no object with a
// destructor, so the error exit's longjmp skips nothing. Errors are thrown by the caller.
// Without `out` it stops where the picture data would be read.
TResult RunDecoder(TDecompressor* d, const std::uint8_t* data, std::size_t size,
                   std::uint64_t maxPixels, int orientation, const TJpegDecodeOptions& options,
                   TBitmap32* out) {
    j_decompress_ptr cinfo = &d->Info;
    cinfo->err = jpeg_std_error(&d->Err.Pub);
    d->Err.Pub.error_exit = JpegErrorExit;
    d->Err.Pub.emit_message = JpegEmitMessage;
    d->Err.Message[0] = '\0';
    if (setjmp(d->Err.Jump) != 0) return TResult::LibJpegError;

    jpeg_create_decompress(cinfo);
    d->Created = true;
    d->Err.Progress.progress_monitor = JpegProgress;
    cinfo->progress = &d->Err.Progress;
    jpeg_mem_src(cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(cinfo, TRUE);

    const std::uint64_t pixels =
        static_cast<std::uint64_t>(cinfo->image_width) * cinfo->image_height;
    if (pixels > maxPixels) return TResult::TooLarge;
    // Whole-image coefficient arrays (progressive files) take at most 2 bytes per
    // coefficient, 64 coefficients per 8 x 8 block, for each of up to 4 components.
    cinfo->mem->max_memory_to_use = MemorySlack + static_cast<long>(pixels * 8);

    cinfo->scale_num = 1;
    cinfo->scale_denom = 1;
    cinfo->dct_method = JDCT_ISLOW;
    cinfo->do_fancy_upsampling = TRUE;
    cinfo->do_block_smoothing = TRUE;
    const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    // Adobe applications write CMYK with every value inverted.
    const bool inverted = cmyk && cinfo->saw_Adobe_marker;
    if (options.FitWidth > 0 && options.FitHeight > 0)
        ChooseScale(cinfo, OrientationSwapsSides(orientation), options.FitWidth, options.FitHeight);
    if (!out) {
        // A progressive file's set-up would buffer all of its data; one scan's reads none.
        if (jpeg_has_multiple_scans(cinfo))
            jpeg_calc_output_dimensions(cinfo);
        else
            jpeg_start_decompress(cinfo);
        return TResult::Ok;
    }

    jpeg_start_decompress(cinfo);
    const int width = static_cast<int>(cinfo->output_width);
    const int height = static_cast<int>(cinfo->output_height);
    const auto common = reinterpret_cast<j_common_ptr>(cinfo);
    JSAMPARRAY rows = (*cinfo->mem->alloc_sarray)(
        common, JPOOL_IMAGE, static_cast<JDIMENSION>(width) * cinfo->output_components, 1);
    if (orientation == ExifUpright) {
        out->SetSize(width, height);
        while (cinfo->output_scanline < cinfo->output_height) {
            const int y = static_cast<int>(cinfo->output_scanline);
            jpeg_read_scanlines(cinfo, rows, 1);
            StoreRow(rows[0], width, cmyk, inverted, out->Row(y));
        }
    } else {
        // libjpeg's pool frees the band with everything else, also after an error.
        auto* band = static_cast<std::uint32_t*>((*cinfo->mem->alloc_large)(
            common, JPOOL_IMAGE,
            static_cast<std::size_t>(width) * BandRows * sizeof(std::uint32_t)));
        TOrientedWriter writer(*out, width, height, orientation);
        int first = 0;
        while (cinfo->output_scanline < cinfo->output_height) {
            const int y = static_cast<int>(cinfo->output_scanline);
            jpeg_read_scanlines(cinfo, rows, 1);
            StoreRow(rows[0], width, cmyk, inverted,
                     band + static_cast<std::size_t>(y - first) * width);
            if (y + 1 - first == BandRows || y + 1 == height) {
                writer.PutRows(first, band, y + 1 - first);
                first = y + 1;
            }
        }
    }
    jpeg_finish_decompress(cinfo);
    return TResult::Ok;
}

// Runs the decoder; throws its fault. Returns the orientation it applied.
int Run(TDecompressor& d, std::span<const std::uint8_t> data, std::uint64_t maxPixels,
        const TJpegDecodeOptions& options, TBitmap32* out) {
    if (data.empty()) throw EMorvantaError("Empty JPEG file");
    const int orientation = options.AutoRotate ? JpegOrientation(data) : ExifUpright;
    switch (RunDecoder(&d, data.data(), data.size(), maxPixels, orientation, options, out)) {
    case TResult::Ok:
        return orientation;
    case TResult::TooLarge:
        throw EMorvantaError("Picture too large (" + std::to_string(d.Info.image_width) + " x " +
                             std::to_string(d.Info.image_height) + " pixels, at most " +
                             std::to_string(maxPixels) + " allowed)");
    case TResult::LibJpegError:
        break;
    }
    throw EMorvantaError(d.Err.Message[0] != '\0' ? d.Err.Message : "JPEG decoding failed");
}

} // namespace

void DecodeJpeg(std::span<const std::uint8_t> data, std::uint64_t maxPixels, TBitmap32& out,
                const TJpegDecodeOptions& options) {
    TDecompressor d;
    Run(d, data, maxPixels, options, &out);
}

TJpegHeader ReadJpegHeader(std::span<const std::uint8_t> data, std::uint64_t maxPixels,
                           bool autoRotate) {
    TDecompressor d;
    const int orientation = Run(d, data, maxPixels, {.AutoRotate = autoRotate}, nullptr);
    const int width = static_cast<int>(d.Info.output_width);
    const int height = static_cast<int>(d.Info.output_height);
    if (OrientationSwapsSides(orientation)) return {height, width, orientation};
    return {width, height, orientation};
}
