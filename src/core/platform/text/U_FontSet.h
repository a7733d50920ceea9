#pragma once
// The faces caption text is drawn with: one main face, and per character any installed face
// that has it when the main face lacks it (as Windows' font linking does). fontconfig finds
// the faces, FreeType opens them, and each carries its HarfBuzz font for shaping.
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

struct FT_LibraryRec_;
struct FT_FaceRec_;
struct hb_font_t;
struct _FcConfig;

// Used when fontconfig offers nothing FreeType can draw at any size.
inline constexpr const char* FallbackFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
// The main face when the asked-for family is not installed.
inline constexpr const char* FallbackFontFamily = "DejaVu Sans";

class TFontSet {
public:
    // Index of the main face; fallback faces follow it.
    static constexpr int MainFace = 0;
    // Faces opened at most; past this, characters no open face has keep the main face's
    // box, so a caption of every script cannot open every font on the system.
    static constexpr int MaxFaces = 64;

    // Opens the main face for `family` at `emPixels` (the work size). The family is taken
    // only when a face of exactly that name (or its TrueType successor) is installed, else
    // DejaVu Sans, so the result does not depend on which other fonts happen to be
    // installed. Throws EMorvantaError when no usable face is found.
    TFontSet(int emPixels, const std::string& family);
    ~TFontSet();
    TFontSet(const TFontSet&) = delete;
    TFontSet& operator=(const TFontSet&) = delete;

    // The face that draws `code`: the main face when it has the character, else the first
    // installed face fontconfig offers for it, else the main face (which then draws its
    // missing-glyph box). Results are remembered per character.
    int FaceFor(char32_t code);
    // Whether face `face` has a glyph for `code`.
    bool Covers(int face, char32_t code) const;

    int FaceCount() const { return static_cast<int>(faces_.size()); }
    FT_FaceRec_* Face(int face) const;
    hb_font_t* ShapingFont(int face) const;
    const std::string& File(int face) const;
    std::string Family(int face) const;
    // Work pixels from the top of the text box (the main face's ascender line) to the
    // baseline.
    int Ascender() const { return ascender_; }

private:
    struct TFace;
    struct THandles;

    bool TryOpen(const std::string& file, int index);
    int FaceOfFile(const std::string& file, int index);
    int LookUpFallback(char32_t code);

    std::unique_ptr<THandles> handles_;
    std::vector<std::unique_ptr<TFace>> faces_;
    std::map<char32_t, int> faceOfCode_;
    std::set<std::pair<std::string, int>> unusable_; // files FreeType could not open
    int emPixels_ = 0;
    int ascender_ = 0;
};
