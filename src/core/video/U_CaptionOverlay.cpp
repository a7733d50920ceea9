#include "video/U_CaptionOverlay.h"

#include <algorithm>
#include <array>

#include "platform/base/U_Rounding.h"
#include "platform/text/U_TextRenderer.h"

namespace {

// The plain style's geometry at its 16-pixel em: text 20 rows above the frame's bottom, a band
// of at least 28 rows, the counter 10 columns in, the caption from 50 columns left of the
// middle. Other sizes scale the vertical distances.
constexpr int PlainEm = 16;

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

int BandTopFor(int height, int em) {
    // floor(height x 0.93) in exact integer arithmetic.
    const long long band = static_cast<long long>(height) * 93 / 100;
    const long long least = static_cast<long long>(height) - 28LL * em / PlainEm;
    return static_cast<int>(std::max(0LL, std::min(band, least)));
}

} // namespace

int CaptionBandTop(int height) {
    return BandTopFor(height, PlainEm);
}

int CaptionEmPixels(int points) {
    return std::max(1, RoundToInt(static_cast<long double>(points) * 96 / 72));
}

namespace {

// A distance of the video's layout on a frame `scale` times its size, at least one pixel.
int Scaled(int pixels, double scale) {
    if (scale == 1) return pixels;
    return std::max(1, RoundToInt(static_cast<long double>(pixels) * scale));
}

} // namespace

TCaptionOverlay::TCaptionOverlay(const TCaptionStyle& style, double scale)
    : Style(style),
      em_(Scaled(CaptionEmPixels(std::clamp(style.SizePoints, MinCaptionPoints, MaxCaptionPoints)),
                 scale > 0 ? scale : 1)),
      counterLeft_(Scaled(10, scale > 0 ? scale : 1)),
      captionShift_(Scaled(50, scale > 0 ? scale : 1)) {}

TCaptionOverlay::~TCaptionOverlay() = default;

TCaptionOverlay::TRows TCaptionOverlay::BandRows(int height) const {
    const int top = BandTopFor(height, em_);
    if (Style.Place == TCaptionPlace::Top) return {0, height - top};
    return {top, height};
}

MORVANTA_PIXEL_LOOP void TCaptionOverlay::DrawBand(TBitmap32& frame) const {
    if (!Style.Band) return;
    const auto& dark = DarkenTable();
    const TRows rows = BandRows(frame.Height);
    for (int y = rows.First; y < rows.Last; ++y) {
        std::uint32_t* row = frame.Row(y);
        for (int x = 0; x < frame.Width; ++x) {
            const std::uint32_t p = row[x];
            row[x] = PackRGB(dark[RedOf(p)], dark[GreenOf(p)], dark[BlueOf(p)], 255);
        }
    }
}

void TCaptionOverlay::DrawTexts(TBitmap32& frame, const std::string& counter,
                                const std::string& caption) {
    if (!text_) text_ = std::make_unique<TTextRenderer>(em_, Style.Family);
    const int h = frame.Height;
    const int w = frame.Width;
    int top = h - 20 * em_ / PlainEm;
    if (Style.Place == TCaptionPlace::Top) {
        const TRows band = BandRows(h);
        top = std::max(0, (band.Last - em_) / 2);
    }
    const TTextLook look{Style.Colour, Style.Edge};
    if (!counter.empty()) text_->DrawText(frame, counterLeft_, top, counter, look);
    int left = w / 2 - captionShift_;
    if (Style.Place != TCaptionPlace::BottomLeft)
        left = std::max(0, (w - text_->TextWidth(caption)) / 2);
    else if (counter.empty())
        left = counterLeft_;
    text_->DrawText(frame, left, top, caption, look);
}
