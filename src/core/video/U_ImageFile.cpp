#include "video/U_ImageFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <new>
#include <vector>

#include "platform/base/U_Errors.h"
#include "platform/base/U_Rounding.h"
#include "platform/image/U_BmpDecoder.h"
#include "platform/os/U_Settings.h"
#include "video/U_Fill.h"
#include "video/U_JpegDecoder.h"
#include "video/U_Resampler.h"

namespace {

class TFileHandle {
public:
    explicit TFileHandle(int fd) : fd_(fd) {}
    ~TFileHandle() {
        if (fd_ >= 0) ::close(fd_);
    }
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
    TFileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0) throw EMorvantaError(SystemErrorText(errno));
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0) throw EMorvantaError(SystemErrorText(errno));
    if (S_ISDIR(info.st_mode)) throw EMorvantaError(SystemErrorText(EISDIR));
    if (!S_ISREG(info.st_mode)) throw EMorvantaError("Not a regular file");
    if (static_cast<std::uint64_t>(info.st_size) > MaxPictureFileBytes)
        throw EMorvantaError("File too large");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(file.Get(), bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw EMorvantaError(SystemErrorText(errno));
        }
        if (n == 0) break; // the file shrank while we read it
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}

std::string LowerExtension(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

void Decode(const std::string& path, std::uint64_t maxPixels, const TJpegDecodeOptions& options,
            TBitmap32& out) {
    const std::string ext = LowerExtension(path);
    const bool jpeg = ext == ".jpg" || ext == ".jpeg";
    if (!jpeg && ext != ".bmp") throw EMorvantaError("Unsupported picture format");
    const std::vector<std::uint8_t> bytes = ReadWholeFile(path);
    if (bytes.empty()) throw EMorvantaError("Empty file");
    if (jpeg)
        DecodeJpeg(bytes, maxPixels, out, options);
    else
        DecodeBmp(bytes, maxPixels, out);
}

} // namespace

bool AutoRotateFromSetting(const std::string& value) {
    return value != "0";
}

bool ReadAutoRotateSetting() {
    return AutoRotateFromSetting(ReadSetting(AutoRotateSettingName));
}

TBitmap32 MakeThumbnail(const std::string& fileName, int width, int height, bool autoRotate,
                        std::uint64_t maxPixels) {
    TImageFile picture(fileName, width, height, maxPixels,
                       {.AutoRotate = autoRotate, .SmallTarget = true});
    return std::move(picture.Bitmap);
}

void TImageFile::Load(const std::string& fileName, std::uint64_t maxPixels,
                      const TJpegDecodeOptions& options) {
    try {
        Decode(fileName, maxPixels, options, Bitmap);
    } catch (const EMorvantaError& e) {
        throw EMorvantaError("Cannot load picture " + fileName + ": " + e.what());
    } catch (const std::bad_alloc&) {
        throw EMorvantaError("Cannot load picture " + fileName + ": Out of memory");
    }
}

TImageFile::TImageFile(const std::string& fileName, std::uint64_t maxPixels,
                       const TPictureOptions& options) {
    Load(fileName, maxPixels, {.AutoRotate = options.AutoRotate});
}

TImageFile::TImageFile(const std::string& fileName, int width, int height, std::uint64_t maxPixels,
                       const TPictureOptions& options, TFill fill) {
    TJpegDecodeOptions jpeg{.AutoRotate = options.AutoRotate};
    if (options.SmallTarget && width > 0 && height > 0) {
        jpeg.FitWidth = width;
        jpeg.FitHeight = height;
    }
    Load(fileName, maxPixels, jpeg);
    FitTo(width, height, fill);
}

TFitBands ComputeFitBands(int srcWidth, int srcHeight, int width, int height) {
    TFitBands bands;
    const float aSrc = static_cast<float>(srcWidth) / static_cast<float>(srcHeight);
    const float aDst = static_cast<float>(width) / static_cast<float>(height);
    if (aSrc > aDst) {
        bands.Top = RoundToInt(static_cast<long double>(width) / srcWidth *
                               (static_cast<long double>(srcWidth) / aDst - srcHeight) / 2);
    } else {
        bands.Side = RoundToInt(static_cast<long double>(height) / srcHeight *
                                (static_cast<long double>(srcHeight) * aDst - srcWidth) / 2);
    }
    return bands;
}

void TImageFile::FitTo(int width, int height) {
    FitTo(width, height, TFill::Bands);
}

void TImageFile::FitTo(int width, int height, TFill fill) {
    if (static_cast<long long>(width) * height == 0) return;
    if (width < 0 || height < 0) throw EMorvantaError("Invalid picture size");
    if (Bitmap.Empty()) throw EMorvantaError("No picture to fit");

    if (fill == TFill::Crop) {
        Bitmap = CropToFill(Bitmap, width, height);
        return;
    }
    const TFitBands bands = ComputeFitBands(Bitmap.Width, Bitmap.Height, width, height);
    TBitmap32 fitted(width, height);
    std::fill(fitted.Pixels.begin(), fitted.Pixels.end(), PackRGB(0, 0, 0));
    const int areaWidth = width - 2 * bands.Side;
    const int areaHeight = height - 2 * bands.Top;
    // A picture thinner than one output line leaves only the bands.
    if (areaWidth > 0 && areaHeight > 0) {
        const TMitchellResampler resampler(Bitmap.Width, Bitmap.Height, areaWidth, areaHeight);
        resampler.Resample(Bitmap, fitted, bands.Side, bands.Top);
        if (fill == TFill::Blur) FillBandsWithBlur(fitted, bands.Side, bands.Top);
    }
    Bitmap = std::move(fitted);
}

MORVANTA_PIXEL_LOOP void TImageFile::Greyscale() {
    for (std::uint32_t& p : Bitmap.Pixels) {
        const std::uint32_t i = (61 * RedOf(p) + 174 * GreenOf(p) + 21 * BlueOf(p)) >> 8;
        p = PackRGB(i, i, i);
    }
}

MORVANTA_PIXEL_LOOP void TImageFile::Sepia() {
    auto limit = [](double v) {
        return static_cast<std::uint32_t>(std::min(RoundToInt(static_cast<long double>(v)), 255));
    };
    for (std::uint32_t& p : Bitmap.Pixels) {
        const double r = RedOf(p), g = GreenOf(p), b = BlueOf(p);
        p = PackRGB(limit(0.393 * r + 0.769 * g + 0.189 * b),
                    limit(0.349 * r + 0.686 * g + 0.168 * b),
                    limit(0.272 * r + 0.534 * g + 0.131 * b));
    }
}

void TImageFile::CopyRegion(TBitmap32& dest, int left, int top, int width, int height) const {
    if (left < 0 || top < 0 || width < 0 || height < 0 ||
        static_cast<long long>(left) + width > Bitmap.Width ||
        static_cast<long long>(top) + height > Bitmap.Height)
        throw EMorvantaError("Region outside the picture");
    dest.SetSize(width, height);
    for (int y = 0; y < height; ++y) std::copy_n(Bitmap.Row(top + y) + left, width, dest.Row(y));
}
