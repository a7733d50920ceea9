#include "platform/text/U_FontSet.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <hb-ft.h>
#include <hb.h>

#include <algorithm>
#include <cctype>

#include "platform/base/U_Errors.h"

namespace {

struct FtLibraryDeleter {
    void operator()(FT_Library library) const { FT_Done_FreeType(library); }
};
struct FtFaceDeleter {
    void operator()(FT_Face face) const { FT_Done_Face(face); }
};
struct HbFontDeleter {
    void operator()(hb_font_t* font) const { hb_font_destroy(font); }
};
struct FcConfigDeleter {
    void operator()(FcConfig* config) const { FcConfigDestroy(config); }
};
struct FcPatternDeleter {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
struct FcFontSetDeleter {
    void operator()(FcFontSet* set) const { FcFontSetDestroy(set); }
};
using TPattern = std::unique_ptr<FcPattern, FcPatternDeleter>;

// Remembered character-to-face choices before the memory starts afresh.
constexpr std::size_t MaxRememberedCodes = 8192;

bool SameName(const std::string& a, const char* b) {
    const std::size_t n = std::char_traits<char>::length(b);
    if (a.size() != n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The names a family may go by: the Windows bitmap face has a TrueType successor.
std::vector<std::string> AcceptedNames(const std::string& family) {
    std::vector<std::string> names{family};
    if (SameName(family, "MS Sans Serif")) names.emplace_back("Microsoft Sans Serif");
    return names;
}

TPattern FamilyPattern(FcConfig* config, const std::string& family) {
    TPattern pattern(FcPatternCreate());
    if (!pattern) return pattern;
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    return pattern;
}

bool HasFamily(FcPattern* font, const std::vector<std::string>& names) {
    FcChar8* value = nullptr;
    for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &value) == FcResultMatch; ++i)
        for (const std::string& name : names)
            if (value && SameName(name, reinterpret_cast<const char*>(value))) return true;
    return false;
}

std::pair<std::string, int> FileOf(FcPattern* font) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch || !file) return {};
    int index = 0;
    if (FcPatternGetInteger(font, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
    return {reinterpret_cast<const char*>(file), index};
}

// The installed font fontconfig picks for the family, and whether it really is that family
// rather than the stand-in fontconfig offers for any unknown name.
std::pair<std::pair<std::string, int>, bool> MatchFamily(FcConfig* config,
                                                         const std::string& family) {
    TPattern pattern = FamilyPattern(config, family);
    if (!pattern) return {};
    FcResult result = FcResultNoMatch;
    TPattern match(FcFontMatch(config, pattern.get(), &result));
    if (!match) return {};
    return {FileOf(match.get()), HasFamily(match.get(), AcceptedNames(family))};
}

} // namespace

struct TFontSet::TFace {
    std::unique_ptr<FT_FaceRec_, FtFaceDeleter> Face;
    std::unique_ptr<hb_font_t, HbFontDeleter> Shaping; // holds its own reference to Face
    std::string File;
    int Index = 0;
};

struct TFontSet::THandles {
    // Declared first so that they are released after the faces and font list built on them.
    std::unique_ptr<FT_LibraryRec_, FtLibraryDeleter> Library;
    std::unique_ptr<FcConfig, FcConfigDeleter> Config;
    // Installed fonts, most like the main family first; made on the first missing character.
    std::unique_ptr<FcFontSet, FcFontSetDeleter> Candidates;
    std::string Family;
    bool CandidatesTried = false;
};

TFontSet::TFontSet(int emPixels, const std::string& family)
    : handles_(std::make_unique<THandles>()), emPixels_(emPixels) {
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) throw EMorvantaError("Cannot start FreeType");
    handles_->Library.reset(library);
    handles_->Config.reset(FcInitLoadConfigAndFonts());
    handles_->Family = family;

    // The asked-for family only when it is really installed, then DejaVu Sans, then its
    // file, then whatever fontconfig offers: a caption in some face beats none.
    std::vector<std::pair<std::string, int>> wanted, stand_in;
    if (FcConfig* config = handles_->Config.get()) {
        for (const std::string& name : {family, std::string(FallbackFontFamily)}) {
            auto [file, exact] = MatchFamily(config, name);
            if (file.first.empty()) continue;
            (exact ? wanted : stand_in).push_back(file);
        }
    }
    wanted.emplace_back(FallbackFontFile, 0);
    wanted.insert(wanted.end(), stand_in.begin(), stand_in.end());
    for (const auto& [file, index] : wanted)
        if (TryOpen(file, index)) break;
    if (faces_.empty())
        throw EMorvantaError("No font found for the caption text (install fonts-dejavu-core)");
    // 26.6 fixed point; FreeType already rounds the scaled ascender up to whole pixels.
    ascender_ = static_cast<int>((faces_.front()->Face->size->metrics.ascender + 63) >> 6);
}

TFontSet::~TFontSet() = default;

bool TFontSet::TryOpen(const std::string& file, int index) {
    FT_Face face = nullptr;
    if (FT_New_Face(handles_->Library.get(), file.c_str(), index, &face) != 0) return false;
    auto entry = std::make_unique<TFace>();
    entry->Face.reset(face);
    if (!FT_IS_SCALABLE(face) || FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(emPixels_)))
        return false;
    entry->Shaping.reset(hb_ft_font_create_referenced(face));
    if (!entry->Shaping) return false;
    // Advances as the rasteriser will draw the glyphs: hinted, whole pixels.
    hb_ft_font_set_load_flags(entry->Shaping.get(), FT_LOAD_DEFAULT | FT_LOAD_TARGET_NORMAL);
    entry->File = file;
    entry->Index = index;
    faces_.push_back(std::move(entry));
    return true;
}

int TFontSet::FaceOfFile(const std::string& file, int index) {
    for (std::size_t i = 0; i < faces_.size(); ++i)
        if (faces_[i]->Index == index && faces_[i]->File == file) return static_cast<int>(i);
    if (static_cast<int>(faces_.size()) >= MaxFaces || unusable_.count({file, index})) return -1;
    if (!TryOpen(file, index)) {
        // Not tried again for every character it claims to have.
        unusable_.emplace(file, index);
        return -1;
    }
    return static_cast<int>(faces_.size()) - 1;
}

bool TFontSet::Covers(int face, char32_t code) const {
    return FT_Get_Char_Index(Face(face), code) != 0;
}

int TFontSet::FaceFor(char32_t code) {
    if (Covers(MainFace, code)) return MainFace;
    if (auto it = faceOfCode_.find(code); it != faceOfCode_.end()) return it->second;
    if (faceOfCode_.size() >= MaxRememberedCodes) faceOfCode_.clear();
    const int face = LookUpFallback(code);
    faceOfCode_.emplace(code, face);
    return face;
}

int TFontSet::LookUpFallback(char32_t code) {
    THandles& h = *handles_;
    if (!h.CandidatesTried) {
        // One sorted list serves every later character: sorting per character is slow.
        h.CandidatesTried = true;
        if (TPattern pattern = h.Config ? FamilyPattern(h.Config.get(), h.Family) : TPattern()) {
            FcResult result = FcResultNoMatch;
            h.Candidates.reset(
                FcFontSort(h.Config.get(), pattern.get(), FcFalse, nullptr, &result));
        }
    }
    if (!h.Candidates) return MainFace;
    for (int i = 0; i < h.Candidates->nfont; ++i) {
        FcPattern* font = h.Candidates->fonts[i];
        FcCharSet* chars = nullptr;
        if (FcPatternGetCharSet(font, FC_CHARSET, 0, &chars) != FcResultMatch ||
            !FcCharSetHasChar(chars, code))
            continue;
        // Colour bitmap faces cannot be drawn as white coverage at any size.
        FcBool flag = FcFalse;
        if (FcPatternGetBool(font, FC_SCALABLE, 0, &flag) == FcResultMatch && !flag) continue;
        if (FcPatternGetBool(font, FC_COLOR, 0, &flag) == FcResultMatch && flag) continue;
        const auto [file, index] = FileOf(font);
        if (file.empty()) continue;
        const int face = FaceOfFile(file, index);
        if (face >= 0 && Covers(face, code)) return face;
        if (static_cast<int>(faces_.size()) >= MaxFaces) break;
    }
    return MainFace;
}

FT_FaceRec_* TFontSet::Face(int face) const {
    return faces_.at(static_cast<std::size_t>(face))->Face.get();
}

hb_font_t* TFontSet::ShapingFont(int face) const {
    return faces_.at(static_cast<std::size_t>(face))->Shaping.get();
}

const std::string& TFontSet::File(int face) const {
    return faces_.at(static_cast<std::size_t>(face))->File;
}

std::string TFontSet::Family(int face) const {
    const char* name = Face(face)->family_name;
    return name ? name : "";
}
