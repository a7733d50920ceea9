#include "platform/text/U_TextRenderer.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <climits>

#include "platform/base/U_Errors.h"

namespace {

// Glyph cache size at which it starts afresh.
constexpr std::size_t MaxCachedGlyphs = 4096;
constexpr std::size_t MaxRecentTexts = 8;

int FloorEven(int v) {
    return v >= 0 ? v & ~1 : -((-v + 1) & ~1);
}

int CheckedWorkEm(int emPixels) {
    if (emPixels < 1 || emPixels > 1024) throw EMorvantaError("Invalid text size");
    return emPixels * TTextRenderer::Supersampling;
}

// 1/64 pixel to whole pixels, to nearest.
int Pixels(std::int32_t v) {
    return static_cast<int>((static_cast<std::int64_t>(v) + 32) >> 6);
}

} // namespace

TTextRenderer::TTextRenderer(int emPixels, const std::string& family)
    : workEm_(CheckedWorkEm(emPixels)), fonts_(workEm_, family) {}

TTextRenderer::~TTextRenderer() = default;

const TTextRenderer::TGlyph& TTextRenderer::Glyph(int faceIndex, std::uint32_t id) {
    const auto key = std::make_pair(faceIndex, id);
    if (auto it = glyphs_.find(key); it != glyphs_.end()) return it->second;
    TGlyph& glyph = glyphs_[key];
    FT_Face face = fonts_.Face(faceIndex);
    if (FT_Load_Glyph(face, id, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0) return glyph;
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    const bool gray = bitmap.pixel_mode == FT_PIXEL_MODE_GRAY;
    const bool mono = bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
    if ((!gray && !mono) || bitmap.width == 0 || bitmap.rows == 0 || !bitmap.buffer) return glyph;
    glyph.Left = slot->bitmap_left;
    glyph.Top = slot->bitmap_top;
    glyph.Width = static_cast<int>(bitmap.width);
    glyph.Height = static_cast<int>(bitmap.rows);
    glyph.Values.resize(static_cast<std::size_t>(glyph.Width) * glyph.Height);
    const int levels = gray && bitmap.num_grays > 1 ? bitmap.num_grays - 1 : 255;
    const int stride = bitmap.pitch >= 0 ? bitmap.pitch : -bitmap.pitch;
    for (int y = 0; y < glyph.Height; ++y) {
        // A negative pitch means the rows are stored from the bottom up.
        const int row = bitmap.pitch >= 0 ? y : glyph.Height - 1 - y;
        const unsigned char* src = bitmap.buffer + static_cast<std::ptrdiff_t>(row) * stride;
        std::uint8_t* dst = glyph.Values.data() + static_cast<std::size_t>(y) * glyph.Width;
        for (int x = 0; x < glyph.Width; ++x) {
            const int v = gray ? src[x] : ((src[x >> 3] >> (7 - (x & 7))) & 1) * 255;
            dst[x] = static_cast<std::uint8_t>(gray && levels != 255 ? v * 255 / levels : v);
        }
    }
    return glyph;
}

TCoverageMap TTextRenderer::RenderWork(const std::string& utf8, int maxWorkWidth) {
    if (glyphs_.size() > MaxCachedGlyphs) glyphs_.clear();
    struct Placed {
        const TGlyph* G;
        int X;
        int Y;
    };
    std::vector<Placed> placed;
    int x0 = INT_MAX, y0 = INT_MAX, x1 = INT_MIN, y1 = INT_MIN;
    const TTextLayout layout = Layout(utf8);
    for (const TPlacedGlyph& pg : layout.Glyphs) {
        const int x = Pixels(pg.X);
        // The glyphs go from left to right, so none after this one can show either.
        if (x >= maxWorkWidth) break;
        const TGlyph& g = Glyph(pg.Face, pg.Glyph);
        if (g.Values.empty()) continue;
        const Placed p{&g, x + g.Left, fonts_.Ascender() + Pixels(pg.Y) - g.Top};
        x0 = std::min(x0, p.X);
        y0 = std::min(y0, p.Y);
        x1 = std::max(x1, p.X + g.Width);
        y1 = std::max(y1, p.Y + g.Height);
        placed.push_back(p);
    }
    TCoverageMap map;
    x1 = std::min(x1, maxWorkWidth);
    if (placed.empty() || x1 <= x0) return map;
    map.Left = FloorEven(x0);
    map.Top = FloorEven(y0);
    map.Width = (x1 - map.Left + 1) & ~1;
    map.Height = (y1 - map.Top + 1) & ~1;
    map.Values.assign(static_cast<std::size_t>(map.Width) * map.Height, 0);
    for (const Placed& p : placed) {
        for (int gy = 0; gy < p.G->Height; ++gy) {
            const int my = p.Y + gy - map.Top;
            std::uint8_t* row = map.Values.data() + static_cast<std::size_t>(my) * map.Width;
            const std::uint8_t* src =
                p.G->Values.data() + static_cast<std::size_t>(gy) * p.G->Width;
            for (int gx = 0; gx < p.G->Width; ++gx) {
                const int mx = p.X + gx - map.Left;
                if (mx >= map.Width) break;
                // Overlapping glyphs (kerned pairs, accents) keep the stronger coverage.
                row[mx] = std::max(row[mx], src[gx]);
            }
        }
    }
    return map;
}

const TCoverageMap& TTextRenderer::Averaged(const std::string& utf8, int maxWidth) {
    for (const auto& [key, map] : recent_)
        if (key.second == maxWidth && key.first == utf8) return map;
    const TCoverageMap work = RenderWork(utf8, maxWidth * Supersampling);
    TCoverageMap map;
    map.Left = work.Left / Supersampling;
    map.Top = work.Top / Supersampling;
    map.Width = work.Width / Supersampling;
    map.Height = work.Height / Supersampling;
    map.Values.resize(static_cast<std::size_t>(map.Width) * map.Height);
    for (int y = 0; y < map.Height; ++y) {
        for (int x = 0; x < map.Width; ++x) {
            const int sum = work.At(2 * x, 2 * y) + work.At(2 * x + 1, 2 * y) +
                            work.At(2 * x, 2 * y + 1) + work.At(2 * x + 1, 2 * y + 1);
            map.Values[static_cast<std::size_t>(y) * map.Width + x] =
                static_cast<std::uint8_t>(sum >> 2);
        }
    }
    if (recent_.size() >= MaxRecentTexts) recent_.erase(recent_.begin());
    recent_.emplace_back(std::make_pair(utf8, maxWidth), std::move(map));
    return recent_.back().second;
}

namespace {

// Calls paint(pixel, coverage) for every frame pixel under a non-zero value of `map` placed at
// (left, top).
template <typename Paint>
void ForCovered(TBitmap32& frame, long long left, long long top, const TCoverageMap& map,
                Paint paint) {
    for (int my = 0; my < map.Height; ++my) {
        const long long fy = top + map.Top + my;
        if (fy < 0 || fy >= frame.Height) continue;
        std::uint32_t* row = frame.Row(static_cast<int>(fy));
        for (int mx = 0; mx < map.Width; ++mx) {
            const long long fx = left + map.Left + mx;
            const std::uint32_t a = map.At(mx, my);
            if (a == 0 || fx < 0 || fx >= frame.Width) continue;
            paint(row[fx], a);
        }
    }
}

// The coverage grown by `r` pixels each way (the largest value within the square around each
// pixel), for an outline.
TCoverageMap Grown(const TCoverageMap& map, int r) {
    TCoverageMap wide;
    wide.Left = map.Left - r;
    wide.Top = map.Top - r;
    wide.Width = map.Width + 2 * r;
    wide.Height = map.Height + 2 * r;
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(wide.Width) * map.Height, 0);
    for (int y = 0; y < map.Height; ++y)
        for (int x = 0; x < wide.Width; ++x) {
            std::uint8_t m = 0;
            for (int k = std::max(0, x - 2 * r); k <= std::min(map.Width - 1, x); ++k)
                m = std::max(m, map.At(k, y));
            rows[static_cast<std::size_t>(y) * wide.Width + x] = m;
        }
    wide.Values.assign(static_cast<std::size_t>(wide.Width) * wide.Height, 0);
    for (int y = 0; y < wide.Height; ++y)
        for (int x = 0; x < wide.Width; ++x) {
            std::uint8_t m = 0;
            for (int k = std::max(0, y - 2 * r); k <= std::min(map.Height - 1, y); ++k)
                m = std::max(m, rows[static_cast<std::size_t>(k) * wide.Width + x]);
            wide.Values[static_cast<std::size_t>(y) * wide.Width + x] = m;
        }
    return wide;
}

} // namespace

void TTextRenderer::DrawText(TBitmap32& frame, int left, int top, const std::string& utf8) {
    DrawText(frame, left, top, utf8, TTextLook{});
}

void TTextRenderer::DrawText(TBitmap32& frame, int left, int top, const std::string& utf8,
                             const TTextLook& look) {
    if (frame.Empty() || utf8.empty()) return;
    // Only what can land on the frame is laid out.
    const long long room = static_cast<long long>(frame.Width) - left;
    if (room <= 0 || top >= frame.Height) return;
    const int maxWidth = static_cast<int>(std::min<long long>(room, 1 << 16));
    const TCoverageMap& map = Averaged(utf8, maxWidth);
    // Exact halves cannot occur with an odd divisor, so +127 rounds to nearest.
    const auto darken = [](std::uint32_t& p, std::uint32_t a) {
        const auto down = [a](std::uint32_t v) { return v - (v * a + 127) / 255; };
        p = (p & 0xFF000000u) | PackRGB(down(RedOf(p)), down(GreenOf(p)), down(BlueOf(p)), 0);
    };
    const int edge = std::max(1, workEm_ / Supersampling / 12);
    if (look.Edge == TTextEdge::Outline)
        ForCovered(frame, left, top, Grown(map, edge), darken);
    else if (look.Edge == TTextEdge::Shadow)
        ForCovered(frame, left + edge + 1, top + edge + 1, map, darken);
    const std::uint32_t cr = RedOf(look.Colour), cg = GreenOf(look.Colour),
                        cb = BlueOf(look.Colour);
    ForCovered(frame, left, top, map, [cr, cg, cb](std::uint32_t& p, std::uint32_t a) {
        const auto toward = [a](std::uint32_t v, std::uint32_t c) {
            return c >= v ? v + ((c - v) * a + 127) / 255 : v - ((v - c) * a + 127) / 255;
        };
        p = (p & 0xFF000000u) |
            PackRGB(toward(RedOf(p), cr), toward(GreenOf(p), cg), toward(BlueOf(p), cb), 0);
    });
}

int TTextRenderer::TextWidth(const std::string& utf8) {
    const TTextLayout layout = Layout(utf8);
    return static_cast<int>((static_cast<std::int64_t>(layout.Width) + 32) / 64 / Supersampling);
}
