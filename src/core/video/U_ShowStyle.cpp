#include "video/U_ShowStyle.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace {

// The limits of the time per picture, as the window's time box has them.
constexpr int MinTimeMs = 100;
constexpr int MaxTimeMs = 60000;

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) {
                   return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
               };
               return lower(x) == lower(y);
           });
}

template <typename T>
std::optional<T> Find(const std::vector<TStyleName<T>>& names, std::string_view name) {
    for (const auto& n : names)
        if (SameText(n.Name, name)) return n.Value;
    return std::nullopt;
}

template <typename T> std::string_view NameIn(const std::vector<TStyleName<T>>& names, T value) {
    for (const auto& n : names)
        if (n.Value == value) return n.Name;
    return {};
}

std::optional<int> Integer(std::string_view text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<bool> Flag(std::string_view text) {
    if (text == "1" || SameText(text, "yes") || SameText(text, "on")) return true;
    if (text == "0" || SameText(text, "no") || SameText(text, "off")) return false;
    return std::nullopt;
}

std::uint64_t Mix(std::uint64_t x) {
    // splitmix64's finaliser: every input bit reaches every output bit.
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

} // namespace

const std::vector<TStyleName<TTransition>>& TransitionNames() {
    static const std::vector<TStyleName<TTransition>> names = {
        {TTransition::CrossFade, "crossfade", "Cross-fade"},
        {TTransition::Cut, "cut", "Cut"},
        {TTransition::FadeBlack, "fade-black", "Fade through black"},
        {TTransition::WipeLeft, "wipe-left", "Wipe left"},
        {TTransition::WipeRight, "wipe-right", "Wipe right"},
        {TTransition::WipeUp, "wipe-up", "Wipe up"},
        {TTransition::WipeDown, "wipe-down", "Wipe down"},
        {TTransition::PushLeft, "push-left", "Push left"},
        {TTransition::PushRight, "push-right", "Push right"},
        {TTransition::PushUp, "push-up", "Push up"},
        {TTransition::PushDown, "push-down", "Push down"},
        {TTransition::ZoomDissolve, "zoom", "Zoom dissolve"},
        {TTransition::Iris, "iris", "Iris"},
        {TTransition::Random, "random", "Random"},
    };
    return names;
}

const std::vector<TStyleName<TMotion>>& MotionNames() {
    static const std::vector<TStyleName<TMotion>> names = {
        {TMotion::Still, "still", "Still"},
        {TMotion::Pan, "pan", "Pan"},
        {TMotion::ZoomIn, "zoom-in", "Zoom in"},
        {TMotion::ZoomOut, "zoom-out", "Zoom out"},
        {TMotion::KenBurns, "pan-zoom", "Pan and zoom"},
        {TMotion::Random, "random", "Random"},
    };
    return names;
}

const std::vector<TStyleName<TFill>>& FillNames() {
    static const std::vector<TStyleName<TFill>> names = {
        {TFill::Bands, "bands", "Black bars"},
        {TFill::Blur, "blur", "Blurred background"},
        {TFill::Crop, "crop", "Crop to fill"},
    };
    return names;
}

const std::vector<TStyleName<TCaptionPlace>>& CaptionPlaceNames() {
    static const std::vector<TStyleName<TCaptionPlace>> names = {
        {TCaptionPlace::BottomLeft, "bottom-left", "Bottom left"},
        {TCaptionPlace::BottomCentre, "bottom-centre", "Bottom centre"},
        {TCaptionPlace::Top, "top", "Top"},
    };
    return names;
}

const std::vector<TStyleName<TTextEdge>>& TextEdgeNames() {
    static const std::vector<TStyleName<TTextEdge>> names = {
        {TTextEdge::None, "none", "None"},
        {TTextEdge::Outline, "outline", "Outline"},
        {TTextEdge::Shadow, "shadow", "Shadow"},
    };
    return names;
}

std::string_view NameOf(TTransition value) {
    return NameIn(TransitionNames(), value);
}
std::string_view NameOf(TMotion value) {
    return NameIn(MotionNames(), value);
}
std::string_view NameOf(TFill value) {
    return NameIn(FillNames(), value);
}
std::string_view NameOf(TCaptionPlace value) {
    return NameIn(CaptionPlaceNames(), value);
}
std::string_view NameOf(TTextEdge value) {
    return NameIn(TextEdgeNames(), value);
}

std::optional<TTransition> TransitionNamed(std::string_view name) {
    return Find(TransitionNames(), name);
}
std::optional<TMotion> MotionNamed(std::string_view name) {
    return Find(MotionNames(), name);
}
std::optional<TFill> FillNamed(std::string_view name) {
    return Find(FillNames(), name);
}
std::optional<TCaptionPlace> CaptionPlaceNamed(std::string_view name) {
    if (SameText(name, "bottom-center")) return TCaptionPlace::BottomCentre;
    return Find(CaptionPlaceNames(), name);
}
std::optional<TTextEdge> TextEdgeNamed(std::string_view name) {
    return Find(TextEdgeNames(), name);
}

std::optional<std::uint32_t> ColourNamed(std::string_view text) {
    static const std::pair<const char*, std::uint32_t> named[] = {
        {"white", 0xFFFFFF}, {"black", 0x000000}, {"yellow", 0xFFFF00}, {"red", 0xFF0000},
        {"green", 0x00FF00}, {"blue", 0x0000FF},  {"grey", 0x808080},   {"gray", 0x808080},
    };
    for (const auto& [name, value] : named)
        if (SameText(name, text)) return value;
    if (text.starts_with('#')) text.remove_prefix(1);
    if (text.size() != 6) return std::nullopt;
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + 6, value, 16);
    if (ec != std::errc() || end != text.data() + 6) return std::nullopt;
    return value;
}

std::string ColourName(std::uint32_t colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%06X", colour & 0xFFFFFFu);
    return text;
}

std::vector<std::pair<std::string, std::string>> StyleSettings(const TShowStyle& style) {
    const TShowStyle plain;
    const TCaptionStyle& c = style.Caption;
    const TCaptionStyle& p = plain.Caption;
    std::vector<std::pair<std::string, std::string>> out;
    const auto add = [&out](const char* key, std::string value) {
        out.emplace_back(key, std::move(value));
    };
    if (style.Transition != plain.Transition)
        add("Transition", std::string(NameOf(style.Transition)));
    if (style.Motion != plain.Motion) add("Motion", std::string(NameOf(style.Motion)));
    if (style.Ease != plain.Ease) add("Ease", style.Ease ? "1" : "0");
    if (style.Fill != plain.Fill) add("Fill", std::string(NameOf(style.Fill)));
    if (c.Family != p.Family) add("CaptionFont", c.Family);
    if (c.SizePoints != p.SizePoints) add("CaptionSize", std::to_string(c.SizePoints));
    if (c.Colour != p.Colour) add("CaptionColour", ColourName(c.Colour));
    if (c.Band != p.Band) add("CaptionBand", c.Band ? "1" : "0");
    if (c.Place != p.Place) add("CaptionPlace", std::string(NameOf(c.Place)));
    if (c.Edge != p.Edge) add("CaptionEdge", std::string(NameOf(c.Edge)));
    if (c.Counter != p.Counter) add("Counter", c.Counter ? "1" : "0");
    if (c.DateLocale != p.DateLocale) add("DateLocale", c.DateLocale);
    return out;
}

const std::vector<std::string_view>& StyleSettingNames() {
    static const std::vector<std::string_view> names = {
        "Transition",    "Motion",      "Ease",         "Fill",        "CaptionFont", "CaptionSize",
        "CaptionColour", "CaptionBand", "CaptionPlace", "CaptionEdge", "Counter",     "DateLocale"};
    return names;
}

bool ApplyStyleSetting(TShowStyle& style, std::string_view key, std::string_view value) {
    TCaptionStyle& c = style.Caption;
    const auto set = [](auto& field, const auto& parsed) {
        if (!parsed) return false;
        field = *parsed;
        return true;
    };
    if (SameText(key, "Transition")) return set(style.Transition, TransitionNamed(value));
    if (SameText(key, "Motion")) return set(style.Motion, MotionNamed(value));
    if (SameText(key, "Ease")) return set(style.Ease, Flag(value));
    if (SameText(key, "Fill")) return set(style.Fill, FillNamed(value));
    if (SameText(key, "CaptionFont")) {
        // A family name is one line of printable text.
        if (value.empty() || value.size() > 200 ||
            std::any_of(value.begin(), value.end(),
                        [](char ch) { return static_cast<unsigned char>(ch) < 32; }))
            return false;
        c.Family = std::string(value);
        return true;
    }
    if (SameText(key, "CaptionSize")) {
        const auto size = Integer(value);
        if (!size || *size < MinCaptionPoints || *size > MaxCaptionPoints) return false;
        c.SizePoints = *size;
        return true;
    }
    if (SameText(key, "CaptionColour") || SameText(key, "CaptionColor"))
        return set(c.Colour, ColourNamed(value));
    if (SameText(key, "CaptionBand")) return set(c.Band, Flag(value));
    if (SameText(key, "CaptionPlace")) return set(c.Place, CaptionPlaceNamed(value));
    if (SameText(key, "CaptionEdge")) return set(c.Edge, TextEdgeNamed(value));
    if (SameText(key, "Counter")) return set(c.Counter, Flag(value));
    if (SameText(key, "DateLocale")) {
        if (value.size() > 64 || value.find_first_of(" /\t") != std::string_view::npos)
            return false;
        c.DateLocale = std::string(value);
        return true;
    }
    return false;
}

std::string PictureStyleText(const TPictureStyle& style) {
    std::string text;
    const auto add = [&text](std::string_view key, std::string_view value) {
        if (!text.empty()) text += ',';
        text.append(key).append("=").append(value);
    };
    if (style.TimeMs) add("time", std::to_string(*style.TimeMs));
    if (style.Transition) add("transition", NameOf(*style.Transition));
    if (style.Motion) add("motion", NameOf(*style.Motion));
    if (style.Fill) add("fill", NameOf(*style.Fill));
    return text;
}

TPictureStyle ParsePictureStyle(std::string_view text) {
    TPictureStyle style;
    while (!text.empty()) {
        const auto comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        const auto eq = item.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = item.substr(0, eq);
        const std::string_view value = item.substr(eq + 1);
        if (SameText(key, "time")) {
            if (const auto ms = Integer(value))
                style.TimeMs = std::clamp(*ms, MinTimeMs, MaxTimeMs);
        } else if (SameText(key, "transition")) {
            if (const auto t = TransitionNamed(value)) style.Transition = t;
        } else if (SameText(key, "motion")) {
            if (const auto m = MotionNamed(value)) style.Motion = m;
        } else if (SameText(key, "fill")) {
            if (const auto f = FillNamed(value)) style.Fill = f;
        }
    }
    return style;
}

std::uint64_t ShowSeed(const std::vector<std::string>& paths) {
    // FNV-1a over the paths, each ended by a zero byte.
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (const auto& path : paths) {
        for (const char ch : path)
            hash = (hash ^ static_cast<unsigned char>(ch)) * 0x100000001B3ull;
        hash *= 0x100000001B3ull;
    }
    return hash;
}

TTransition ResolveTransition(TTransition kind, std::uint64_t seed, int index) {
    if (kind != TTransition::Random) return kind;
    // Every kind but Cut and Random.
    static constexpr TTransition choices[] = {
        TTransition::CrossFade, TTransition::FadeBlack,    TTransition::WipeLeft,
        TTransition::WipeRight, TTransition::WipeUp,       TTransition::WipeDown,
        TTransition::PushLeft,  TTransition::PushRight,    TTransition::PushUp,
        TTransition::PushDown,  TTransition::ZoomDissolve, TTransition::Iris,
    };
    const std::uint64_t r = Mix(seed ^ (static_cast<std::uint64_t>(index) * 2 + 1));
    return choices[r % std::size(choices)];
}

TMotion ResolveMotion(TMotion kind, std::uint64_t seed, int index) {
    if (kind != TMotion::Random) return kind;
    static constexpr TMotion choices[] = {TMotion::Pan, TMotion::ZoomIn, TMotion::ZoomOut,
                                          TMotion::KenBurns};
    const std::uint64_t r = Mix(~seed ^ (static_cast<std::uint64_t>(index) * 2 + 1));
    return choices[r % std::size(choices)];
}
