#include "platform/text/U_TextRenderer.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <climits>

#include "platform/base/U_Errors.h"

namespace {

struct FtLibraryDeleter {
    void operator()(FT_Library library) const { FT_Done_FreeType(library); }
};
struct FtFaceDeleter {
    void operator()(FT_Face face) const { FT_Done_Face(face); }
};
struct FcConfigDeleter {
    void operator()(FcConfig* config) const { FcConfigDestroy(config); }
};
struct FcPatternDeleter {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};

// Longest text laid out at once: more never fits on a frame, and it bounds the work for
// hostile captions made of zero-width characters.
constexpr std::size_t MaxCodePoints = 4096;
// Glyph cache size at which it starts afresh.
constexpr std::size_t MaxCachedGlyphs = 4096;
constexpr std::size_t MaxRecentTexts = 8;

// Decodes UTF-8. A byte that does not start a valid sequence stands for itself as Latin-1,
// so captions from older 8-bit project files still show their accented letters.
std::vector<char32_t> DecodeUtf8(const std::string& text, std::size_t maxCount) {
    std::vector<char32_t> out;
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n && out.size() < maxCount) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        }
        // Continuation bytes after the lead byte, and the least code point that needs them.
        const int extra = (c & 0xE0) == 0xC0   ? 1
                          : (c & 0xF0) == 0xE0 ? 2
                          : (c & 0xF8) == 0xF0 ? 3
                                               : 0;
        static constexpr char32_t Least[] = {0, 0x80, 0x800, 0x10000};
        const char32_t least = Least[extra];
        char32_t code = c & (0x7Fu >> (extra + 1));
        bool valid = extra > 0 && i + static_cast<std::size_t>(extra) < n;
        for (int k = 1; valid && k <= extra; ++k) {
            const unsigned char next = s[i + static_cast<std::size_t>(k)];
            if ((next & 0xC0) != 0x80) valid = false;
            code = (code << 6) | (next & 0x3F);
        }
        if (valid && code >= least && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF)) {
            out.push_back(code);
            i += static_cast<std::size_t>(extra) + 1;
        } else {
            out.push_back(c);
            ++i;
        }
    }
    return out;
}

// The font files fontconfig offers for the family, best first. The configuration is loaded
// for this lookup only and released afterwards.
std::vector<std::pair<std::string, int>> MatchFont(const std::string& family) {
    std::vector<std::pair<std::string, int>> files;
    std::unique_ptr<FcConfig, FcConfigDeleter> config(FcInitLoadConfigAndFonts());
    if (!config) return files;
    std::unique_ptr<FcPattern, FcPatternDeleter> pattern(FcPatternCreate());
    if (!pattern) return files;
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config.get(), pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    std::unique_ptr<FcPattern, FcPatternDeleter> match(
        FcFontMatch(config.get(), pattern.get(), &result));
    if (!match) return files;
    FcChar8* file = nullptr;
    if (FcPatternGetString(match.get(), FC_FILE, 0, &file) == FcResultMatch && file) {
        int index = 0;
        if (FcPatternGetInteger(match.get(), FC_INDEX, 0, &index) != FcResultMatch) index = 0;
        files.emplace_back(reinterpret_cast<const char*>(file), index);
    }
    return files;
}

int FloorEven(int v) {
    return v >= 0 ? v & ~1 : -((-v + 1) & ~1);
}

} // namespace

struct TTextRenderer::TFontHandles {
    // Declared first so that it is released after the face.
    std::unique_ptr<FT_LibraryRec_, FtLibraryDeleter> Library;
    std::unique_ptr<FT_FaceRec_, FtFaceDeleter> Face;
};

TTextRenderer::TTextRenderer(int emPixels, const std::string& family)
    : font_(std::make_unique<TFontHandles>()) {
    if (emPixels < 1 || emPixels > 1024) throw EMorvantaError("Invalid text size");
    workEm_ = emPixels * Supersampling;

    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) throw EMorvantaError("Cannot start FreeType");
    font_->Library.reset(library);

    auto candidates = MatchFont(family);
    candidates.emplace_back(FallbackFontFile, 0);
    for (const auto& [file, index] : candidates) {
        FT_Face face = nullptr;
        if (FT_New_Face(library, file.c_str(), index, &face) != 0) continue;
        std::unique_ptr<FT_FaceRec_, FtFaceDeleter> owner(face);
        if (!FT_IS_SCALABLE(face) || FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(workEm_)))
            continue;
        font_->Face = std::move(owner);
        fontFile_ = file;
        break;
    }
    if (!font_->Face)
        throw EMorvantaError("No font found for the caption text (install fonts-dejavu-core)");
    // 26.6 fixed point; FreeType already rounds the scaled ascender up to whole pixels.
    ascender_ = static_cast<int>((font_->Face->size->metrics.ascender + 63) >> 6);
}

TTextRenderer::~TTextRenderer() = default;

const TTextRenderer::TGlyph& TTextRenderer::Glyph(char32_t code) {
    if (auto it = glyphs_.find(code); it != glyphs_.end()) return it->second;
    TGlyph& glyph = glyphs_[code];
    FT_Face face = font_->Face.get();
    const FT_UInt index = FT_Get_Char_Index(face, code);
    if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0) return glyph;
    const FT_GlyphSlot slot = face->glyph;
    glyph.Advance = static_cast<int>((slot->advance.x + 32) >> 6);
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
    int pen = 0;
    for (const char32_t code : DecodeUtf8(utf8, MaxCodePoints)) {
        if (pen >= maxWorkWidth) break;
        const TGlyph& g = Glyph(code);
        if (!g.Values.empty()) {
            const Placed p{&g, pen + g.Left, ascender_ - g.Top};
            x0 = std::min(x0, p.X);
            y0 = std::min(y0, p.Y);
            x1 = std::max(x1, p.X + g.Width);
            y1 = std::max(y1, p.Y + g.Height);
            placed.push_back(p);
        }
        pen += std::max(g.Advance, 0);
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

void TTextRenderer::DrawText(TBitmap32& frame, int left, int top, const std::string& utf8) {
    if (frame.Empty() || utf8.empty()) return;
    // Only what can land on the frame is laid out.
    const long long room = static_cast<long long>(frame.Width) - left;
    if (room <= 0 || top >= frame.Height) return;
    const int maxWidth = static_cast<int>(std::min<long long>(room, 1 << 16));
    const TCoverageMap& map = Averaged(utf8, maxWidth);
    for (int my = 0; my < map.Height; ++my) {
        const long long fy = static_cast<long long>(top) + map.Top + my;
        if (fy < 0 || fy >= frame.Height) continue;
        std::uint32_t* row = frame.Row(static_cast<int>(fy));
        for (int mx = 0; mx < map.Width; ++mx) {
            const long long fx = static_cast<long long>(left) + map.Left + mx;
            const std::uint32_t a = map.At(mx, my);
            if (a == 0 || fx < 0 || fx >= frame.Width) continue;
            std::uint32_t& p = row[fx];
            // Exact halves cannot occur with an odd divisor, so +127 rounds to nearest.
            const auto lift = [a](std::uint32_t v) { return v + ((255 - v) * a + 127) / 255; };
            p = (p & 0xFF000000u) | PackRGB(lift(RedOf(p)), lift(GreenOf(p)), lift(BlueOf(p)), 0);
        }
    }
}
