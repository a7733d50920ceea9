#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/text/U_TextRenderer.h"

namespace {

// One renderer for the whole file: opening the system's font list is the slow part.
TTextRenderer& Renderer() {
    static TTextRenderer text(16);
    return text;
}

std::vector<int> VisualClusters(const TTextLayout& layout) {
    std::vector<int> clusters;
    for (const TPlacedGlyph& g : layout.Glyphs) clusters.push_back(g.Cluster);
    return clusters;
}

std::uint32_t OnlyGlyph(const std::string& text) {
    const TTextLayout layout = Renderer().Layout(text);
    EXPECT_EQ(layout.Glyphs.size(), 1u) << text;
    return layout.Glyphs.empty() ? 0 : layout.Glyphs.front().Glyph;
}

bool IsSpace(char32_t c) {
    return c == U' ';
}

} // namespace

struct TScriptCase {
    const char* Name;
    const char* Text;
    bool RightToLeft;
    bool MainFaceLacksIt; // every letter must come from a fallback face
};

void PrintTo(const TScriptCase& c, std::ostream* os) {
    *os << c.Name;
}

class ScriptLayout : public ::testing::TestWithParam<TScriptCase> {};

TEST_P(ScriptLayout, EveryCharacterHasARealGlyphFromAFaceThatHasIt) {
    const TScriptCase& c = GetParam();
    TTextRenderer& text = Renderer();
    const TTextLayout layout = text.Layout(c.Text);
    ASSERT_FALSE(layout.Glyphs.empty());
    EXPECT_EQ(layout.RightToLeft, c.RightToLeft);

    std::vector<bool> drawn(layout.Text.size(), false);
    int lastCluster = -1;
    for (const TPlacedGlyph& g : layout.Glyphs) {
        EXPECT_NE(g.Glyph, 0u) << "missing-glyph box for U+" << std::hex
                               << static_cast<unsigned>(layout.Text[g.Cluster]);
        ASSERT_GE(g.Cluster, 0);
        ASSERT_LT(g.Cluster, static_cast<int>(layout.Text.size()));
        const char32_t ch = layout.Text[g.Cluster];
        EXPECT_TRUE(text.Fonts().Covers(g.Face, ch)) << text.Fonts().Family(g.Face);
        if (c.MainFaceLacksIt && !IsSpace(ch)) {
            EXPECT_NE(g.Face, TFontSet::MainFace) << "U+" << std::hex << unsigned(ch);
            EXPECT_FALSE(text.Fonts().Covers(TFontSet::MainFace, ch));
        }
        // Text of one direction: read order runs left to right, or right to left.
        if (lastCluster >= 0) {
            EXPECT_EQ(c.RightToLeft ? g.Cluster <= lastCluster : g.Cluster >= lastCluster, true)
                << "cluster " << g.Cluster << " drawn after " << lastCluster;
        }
        lastCluster = g.Cluster;
        drawn[g.Cluster] = true;
    }
    const int first = c.RightToLeft ? layout.Glyphs.back().Cluster : layout.Glyphs.front().Cluster;
    EXPECT_EQ(first, 0);
    EXPECT_TRUE(drawn.front());
    EXPECT_GT(layout.Width, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Captions, ScriptLayout,
    ::testing::Values(TScriptCase{"Latin", "Picture : 1 / 3 Été", false, false},
                      TScriptCase{"Chinese", "北京的秋天", false, true},
                      TScriptCase{"Japanese", "こんにちは", false, true},
                      TScriptCase{"Korean", "한국어", false, true},
                      TScriptCase{"Thai", "สวัสดีครับ", false, true},
                      TScriptCase{"Devanagari", "नमस्ते", false, true},
                      TScriptCase{"Emoji", "🎉🎂", false, true},
                      TScriptCase{"Hebrew", "שלום עולם", true, false},
                      TScriptCase{"Arabic", "مرحبا بالعالم", true, false}),
    [](const ::testing::TestParamInfo<TScriptCase>& info) { return std::string(info.param.Name); });

TEST(TextLayout, ArabicLettersTakeTheirJoinedForms) {
    // Meem initial, reh final, hah initial, beh medial, alef final: none is the letter's
    // isolated form, which is what drawing the letters one by one gives.
    const std::string letters[] = {"م", "ر", "ح", "ب", "ا"};
    const TTextLayout word = Renderer().Layout("مرحبا");
    ASSERT_EQ(word.Glyphs.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        const auto it = std::find_if(word.Glyphs.begin(), word.Glyphs.end(),
                                     [i](const TPlacedGlyph& g) { return g.Cluster == i; });
        ASSERT_NE(it, word.Glyphs.end());
        EXPECT_NE(it->Glyph, OnlyGlyph(letters[i])) << "letter " << i << " left unjoined";
    }
    // Read from the right: the first letter is drawn rightmost.
    EXPECT_EQ(VisualClusters(word), (std::vector<int>{4, 3, 2, 1, 0}));
}

TEST(TextLayout, LigaturesAndIndicClustersShapeSeveralCharactersIntoOneGlyph) {
    struct TCase {
        const char* Text;
        std::size_t Glyphs;
    };
    // f + f + i; ka + virama + ssa (the conjunct kssa).
    for (const TCase& c : {TCase{"ffi", 1}, TCase{"क्ष", 1}}) {
        const TTextLayout layout = Renderer().Layout(c.Text);
        EXPECT_EQ(layout.Glyphs.size(), c.Glyphs) << c.Text;
        for (const TPlacedGlyph& g : layout.Glyphs) EXPECT_NE(g.Glyph, 0u) << c.Text;
    }
    EXPECT_NE(Renderer().Layout("ffi").Glyphs.front().Glyph, OnlyGlyph("f"));
    // The vowel sign i is written before its consonant although it follows it.
    const TTextLayout ki = Renderer().Layout("कि");
    ASSERT_EQ(ki.Glyphs.size(), 2u);
    EXPECT_NE(ki.Glyphs.front().Glyph, OnlyGlyph("क"));
    EXPECT_EQ(ki.Glyphs.back().Glyph, OnlyGlyph("क"));
}

TEST(TextLayout, MixedDirectionsComeInVisualOrder) {
    struct TCase {
        const char* Text;
        bool RightToLeft;
        std::vector<int> Clusters; // left to right
    };
    const TCase cases[] = {
        // Left-to-right paragraph; the number after the Hebrew word stays on its right side
        // of the word, read from the right with it.
        {"abc שלום 123", false, {0, 1, 2, 3, 9, 10, 11, 8, 7, 6, 5, 4}},
        // Right-to-left paragraph from its first letter; the Latin word keeps its order.
        {"שלום abc", true, {5, 6, 7, 4, 3, 2, 1, 0}},
        {"مرحبا 123", true, {6, 7, 8, 5, 4, 3, 2, 1, 0}},
        // Left-to-right text forced right to left between an override and its end; an
        // embedding of left-to-right text at an even level is not turned around.
        {"ab\u202ecd\u202cef", false, {0, 1, 2, 5, 4, 3, 6, 7}},
        {"ab\u202bcd\u202cef", false, {0, 1, 2, 3, 4, 5, 6, 7}},
        // No strong letter: left to right.
        {"123 - 456", false, {0, 1, 2, 3, 4, 5, 6, 7, 8}},
    };
    for (const TCase& c : cases) {
        const TTextLayout layout = Renderer().Layout(c.Text);
        EXPECT_EQ(layout.RightToLeft, c.RightToLeft) << c.Text;
        EXPECT_EQ(VisualClusters(layout), c.Clusters) << c.Text;
    }
    // Brackets in right-to-left text are mirrored: the closing one, drawn leftmost, shows
    // the opening shape.
    const TTextLayout brackets = Renderer().Layout("(א)");
    ASSERT_EQ(brackets.Glyphs.size(), 3u);
    EXPECT_EQ(brackets.Glyphs.front().Cluster, 2);
    EXPECT_EQ(brackets.Glyphs.front().Glyph, OnlyGlyph("("));
}

TEST(TextLayout, TabsLineBreaksAndControlsAreSpaces) {
    const std::uint32_t space = OnlyGlyph(" ");
    ASSERT_NE(space, 0u);
    const std::string text = "a\tb\nc\r\nd\x01\x7f"
                             "e\u2028f";
    const TTextLayout layout = Renderer().Layout(text);
    EXPECT_EQ(layout.Text, U"a b c  d  e f");
    ASSERT_EQ(layout.Glyphs.size(), layout.Text.size());
    for (const TPlacedGlyph& g : layout.Glyphs) {
        EXPECT_NE(g.Glyph, 0u);
        if (layout.Text[g.Cluster] == U' ') {
            EXPECT_EQ(g.Glyph, space);
        }
    }
    EXPECT_EQ(layout.Width, Renderer().Layout("a b c  d  e f").Width);
}

TEST(TextLayout, OddInputStaysBounded) {
    TTextRenderer& text = Renderer();
    EXPECT_TRUE(text.Layout("").Glyphs.empty());
    // Broken UTF-8 reads as Latin-1 rather than failing.
    EXPECT_EQ(text.Layout("\xff\xe9").Text, U"\u00ff\u00e9");
    // Long text is cut at a fixed number of characters.
    EXPECT_EQ(text.Layout(std::string(100000, 'x')).Text.size(), MaxLayoutCodePoints);
    // Invisible direction marks and joiners take no room and draw no box.
    const TTextLayout marks = text.Layout("a\u200f\u202e\u2067\u200db");
    EXPECT_EQ(marks.Width, text.Layout("ab").Width);
    for (const TPlacedGlyph& g : marks.Glyphs) EXPECT_NE(g.Glyph, 0u);
}

TEST(TextLayout, CharactersOfEveryScriptOpenABoundedNumberOfFaces) {
    TTextRenderer text(16);
    std::string all;
    for (char32_t c = 0x530; c < 0x1E000; c += 0x20) {
        if (c >= 0xD800 && c < 0xE000) continue; // surrogates are no characters
        // To UTF-8 by hand: four bytes at most.
        if (c < 0x800)
            all += {char(0xC0 | (c >> 6)), char(0x80 | (c & 0x3F))};
        else if (c < 0x10000)
            all +=
                {char(0xE0 | (c >> 12)), char(0x80 | ((c >> 6) & 0x3F)), char(0x80 | (c & 0x3F))};
        else
            all += {char(0xF0 | (c >> 18)), char(0x80 | ((c >> 12) & 0x3F)),
                    char(0x80 | ((c >> 6) & 0x3F)), char(0x80 | (c & 0x3F))};
    }
    const TTextLayout layout = text.Layout(all);
    EXPECT_GT(layout.Glyphs.size(), 1000u);
    // This machine has fonts for more scripts than that, so the limit is reached.
    EXPECT_EQ(text.Fonts().FaceCount(), TFontSet::MaxFaces);
    for (const TPlacedGlyph& g : layout.Glyphs) ASSERT_LT(g.Face, TFontSet::MaxFaces);
}
