#include "platform/text/U_TextLayout.h"

#include <fribidi.h>
#include <hb.h>

#include <algorithm>
#include <memory>

#include "platform/text/U_FontSet.h"

namespace {

struct HbBufferDeleter {
    void operator()(hb_buffer_t* buffer) const { hb_buffer_destroy(buffer); }
};

// A stretch of text drawn in one direction, script and face.
struct TRun {
    int Start = 0;
    int End = 0;
    FriBidiLevel Level = 0;
    hb_script_t Script = HB_SCRIPT_COMMON;
    int Face = 0;
};

bool IsControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

bool IsNeutralScript(hb_script_t script) {
    return script == HB_SCRIPT_COMMON || script == HB_SCRIPT_INHERITED ||
           script == HB_SCRIPT_UNKNOWN;
}

bool IsMark(hb_unicode_funcs_t* ufuncs, char32_t c) {
    const hb_unicode_general_category_t cat = hb_unicode_general_category(ufuncs, c);
    return cat == HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK ||
           cat == HB_UNICODE_GENERAL_CATEGORY_SPACING_MARK ||
           cat == HB_UNICODE_GENERAL_CATEGORY_ENCLOSING_MARK;
}

// Joiners, direction marks and variation selectors: they draw nothing themselves.
bool IsInvisible(hb_unicode_funcs_t* ufuncs, char32_t c) {
    return hb_unicode_general_category(ufuncs, c) == HB_UNICODE_GENERAL_CATEGORY_FORMAT ||
           (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xE0100 && c <= 0xE01EF);
}

// Embedding levels of the one-line paragraph, its direction taken from the first strong
// character (left to right when there is none).
std::vector<FriBidiLevel> BidiLevels(const std::u32string& text, bool& rightToLeft) {
    const auto n = static_cast<FriBidiStrIndex>(text.size());
    std::vector<FriBidiChar> chars(text.begin(), text.end());
    std::vector<FriBidiCharType> types(text.size());
    std::vector<FriBidiBracketType> brackets(text.size());
    std::vector<FriBidiLevel> levels(text.size(), 0);
    fribidi_get_bidi_types(chars.data(), n, types.data());
    fribidi_get_bracket_types(chars.data(), n, types.data(), brackets.data());
    FriBidiParType direction = FRIBIDI_PAR_ON;
    if (fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(), n, &direction,
                                            levels.data()) == 0) {
        std::fill(levels.begin(), levels.end(), 0);
        direction = FRIBIDI_PAR_LTR;
    }
    rightToLeft = FRIBIDI_IS_RTL(direction);
    // Trailing white space takes the paragraph's level (the line rule of the algorithm).
    const FriBidiLevel base = rightToLeft ? 1 : 0;
    for (auto i = text.size(); i-- > 0 && FRIBIDI_IS_EXPLICIT_OR_BN_OR_WS(types[i]);)
        levels[i] = base;
    return levels;
}

// Scripts with common and inherited characters (spaces, digits, marks) joined to their
// neighbours, so that they do not split a run.
std::vector<hb_script_t> Scripts(hb_unicode_funcs_t* ufuncs, const std::u32string& text) {
    std::vector<hb_script_t> scripts(text.size());
    hb_script_t last = HB_SCRIPT_COMMON;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const hb_script_t s = hb_unicode_script(ufuncs, text[i]);
        if (!IsNeutralScript(s)) last = s;
        scripts[i] = IsNeutralScript(s) ? last : s;
    }
    // Leading neutral characters take the first real script.
    const auto first = std::find_if(scripts.begin(), scripts.end(),
                                    [](hb_script_t s) { return !IsNeutralScript(s); });
    if (first != scripts.end()) std::fill(scripts.begin(), first, *first);
    return scripts;
}

std::vector<int> Faces(TFontSet& fonts, hb_unicode_funcs_t* ufuncs, const std::u32string& text) {
    std::vector<int> faces(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        // Marks, spaces and punctuation stay with the face before them when it has them, so
        // clusters and runs are not torn apart; invisible characters always do (the shaper
        // hides them, and they may select the form of the character before them).
        const bool follows = IsMark(ufuncs, c) || IsNeutralScript(hb_unicode_script(ufuncs, c));
        if (i > 0 && (IsInvisible(ufuncs, c) || (follows && fonts.Covers(faces[i - 1], c))))
            faces[i] = faces[i - 1];
        else
            faces[i] = fonts.FaceFor(c);
    }
    return faces;
}

// Runs in visual order: from the highest level down to the lowest odd one, every stretch of
// runs at that level or above is reversed.
void ReorderRuns(std::vector<TRun>& runs) {
    // FriBidiLevel is a signed char: the bounds are kept as int.
    int highest = 0, lowestOdd = 256;
    for (const TRun& r : runs) {
        highest = std::max(highest, static_cast<int>(r.Level));
        if (r.Level % 2) lowestOdd = std::min(lowestOdd, static_cast<int>(r.Level));
    }
    for (int level = highest; level >= lowestOdd; --level) {
        for (auto it = runs.begin(); it != runs.end();) {
            if (it->Level < level) {
                ++it;
                continue;
            }
            auto end =
                std::find_if(it, runs.end(), [level](const TRun& r) { return r.Level < level; });
            std::reverse(it, end);
            it = end;
        }
    }
}

} // namespace

std::u32string DecodeUtf8(const std::string& text, std::size_t maxCount) {
    std::u32string out;
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

TTextLayout LayOutText(TFontSet& fonts, const std::string& utf8) {
    TTextLayout layout;
    layout.Text = DecodeUtf8(utf8, MaxLayoutCodePoints);
    // A caption is one line: tabs and line breaks are gaps, not boxes.
    std::replace_if(layout.Text.begin(), layout.Text.end(), IsControl, U' ');
    const std::u32string& text = layout.Text;
    if (text.empty()) return layout;

    hb_unicode_funcs_t* ufuncs = hb_unicode_funcs_get_default();
    const std::vector<FriBidiLevel> levels = BidiLevels(text, layout.RightToLeft);
    const std::vector<hb_script_t> scripts = Scripts(ufuncs, text);
    const std::vector<int> faces = Faces(fonts, ufuncs, text);

    std::vector<TRun> runs;
    for (int i = 0; i < static_cast<int>(text.size()); ++i) {
        const auto k = static_cast<std::size_t>(i);
        if (runs.empty() || runs.back().Level != levels[k] || runs.back().Script != scripts[k] ||
            runs.back().Face != faces[k])
            runs.push_back({i, i, levels[k], scripts[k], faces[k]});
        runs.back().End = i + 1;
    }
    ReorderRuns(runs);

    std::unique_ptr<hb_buffer_t, HbBufferDeleter> buffer(hb_buffer_create());
    std::vector<std::uint32_t> codes(text.begin(), text.end());
    std::int32_t pen = 0;
    for (const TRun& run : runs) {
        hb_buffer_t* b = buffer.get();
        hb_buffer_clear_contents(b);
        // The whole line goes in as context, so letters join across run boundaries.
        hb_buffer_add_utf32(b, codes.data(), static_cast<int>(codes.size()),
                            static_cast<unsigned>(run.Start), run.End - run.Start);
        hb_buffer_set_direction(b, run.Level % 2 ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
        hb_buffer_set_script(b, run.Script);
        hb_buffer_set_language(b, hb_language_get_default());
        hb_shape(fonts.ShapingFont(run.Face), b, nullptr, 0);
        unsigned count = 0;
        const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(b, &count);
        const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(b, &count);
        for (unsigned g = 0; g < count; ++g) {
            layout.Glyphs.push_back({run.Face, info[g].codepoint, static_cast<int>(info[g].cluster),
                                     pen + pos[g].x_offset, -pos[g].y_offset});
            pen += pos[g].x_advance;
        }
    }
    layout.Width = pen;
    return layout;
}
