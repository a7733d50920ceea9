#include "video/U_PhotoDate.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <locale>
#include <sstream>
#include <vector>

#include "platform/os/U_FileDescriptor.h"
#include "video/U_Exif.h"

namespace {

// The EXIF block sits in an APP1 segment of at most 64 KiB near the file's start.
constexpr std::size_t HeadBytes = 128 * 1024;
constexpr std::size_t EntryBytes = 12;
constexpr std::uint16_t DateTimeTag = 0x0132;
constexpr std::uint16_t ExifIfdTag = 0x8769;
constexpr std::uint16_t DateTimeOriginalTag = 0x9003;
constexpr std::uint16_t TypeAscii = 2;
constexpr std::uint16_t TypeLong = 4;

struct TTiff {
    std::span<const std::uint8_t> Bytes;
    bool Big = false;

    bool Has(std::size_t at, std::size_t n) const {
        return at <= Bytes.size() && n <= Bytes.size() - at;
    }
    std::uint32_t U16(std::size_t at) const {
        const std::uint32_t a = Bytes[at], b = Bytes[at + 1];
        return Big ? (a << 8 | b) : (b << 8 | a);
    }
    std::uint32_t U32(std::size_t at) const {
        const std::uint32_t hi = U16(at), lo = U16(at + 2);
        return Big ? (hi << 16 | lo) : (lo << 16 | hi);
    }
    // The value field's offset of `tag` in the IFD at `ifd`, with its type and count; only
    // the entries present are looked at.
    std::optional<std::size_t> Find(std::size_t ifd, std::uint16_t tag, std::uint16_t type,
                                    std::uint32_t& count) const {
        if (!Has(ifd, 2)) return std::nullopt;
        const std::size_t entries =
            std::min<std::size_t>(U16(ifd), (Bytes.size() - ifd - 2) / EntryBytes);
        for (std::size_t i = 0; i < entries; ++i) {
            const std::size_t e = ifd + 2 + i * EntryBytes;
            if (U16(e) != tag) continue;
            if (U16(e + 2) != type) return std::nullopt;
            count = U32(e + 4);
            return e + 8;
        }
        return std::nullopt;
    }
};

int Digits(std::span<const std::uint8_t> s, std::size_t at, std::size_t n) {
    int v = 0;
    for (std::size_t i = at; i < at + n; ++i) {
        if (s[i] < '0' || s[i] > '9') return -1;
        v = v * 10 + (s[i] - '0');
    }
    return v;
}

std::optional<TPhotoDate> DateAt(const TTiff& tiff, std::size_t ifd, std::uint16_t tag) {
    std::uint32_t count = 0;
    const auto field = tiff.Find(ifd, tag, TypeAscii, count);
    // "YYYY:MM:DD HH:MM:SS" and its NUL: always beyond the four bytes of the value field.
    if (!field || count < 10) return std::nullopt;
    const std::size_t at = tiff.U32(*field);
    if (!tiff.Has(at, 10)) return std::nullopt;
    const auto s = tiff.Bytes;
    TPhotoDate date{Digits(s, at, 4), Digits(s, at + 5, 2), Digits(s, at + 8, 2)};
    if (date.Year < 1 || date.Month < 1 || date.Month > 12 || date.Day < 1 || date.Day > 31)
        return std::nullopt;
    return date;
}

// The locale's language and country ("de_AT.UTF-8@euro" gives "de" and "AT").
void SplitLocale(const std::string& name, std::string& language, std::string& country) {
    const auto end = name.find_first_of(".@");
    const std::string base = name.substr(0, end);
    const auto us = base.find('_');
    language = base.substr(0, us);
    country = us == std::string::npos ? "" : base.substr(us + 1);
}

std::string UserTimeLocale() {
    for (const char* var : {"LC_ALL", "LC_TIME", "LANG"})
        if (const char* v = std::getenv(var); v && *v) return v;
    return "C";
}

std::string Two(int v) {
    return (v < 10 ? "0" : "") + std::to_string(v);
}

} // namespace

std::optional<TPhotoDate> ExifPhotoDate(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 8) return std::nullopt;
    TTiff tiff{bytes, bytes[0] == 'M'};
    if (!((bytes[0] == 'I' && bytes[1] == 'I') || (bytes[0] == 'M' && bytes[1] == 'M')) ||
        tiff.U16(2) != 42)
        return std::nullopt;
    const std::size_t ifd0 = tiff.U32(4);
    std::uint32_t count = 0;
    if (const auto sub = tiff.Find(ifd0, ExifIfdTag, TypeLong, count); sub && count == 1) {
        if (auto date = DateAt(tiff, tiff.U32(*sub), DateTimeOriginalTag)) return date;
    }
    return DateAt(tiff, ifd0, DateTimeTag);
}

std::optional<TPhotoDate> PictureDate(const std::string& path) {
    TFileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.Get() < 0) return std::nullopt;
    std::vector<std::uint8_t> head(HeadBytes);
    std::size_t got = 0;
    while (got < head.size()) {
        const ssize_t n = ::read(fd.Get(), head.data() + got, head.size() - got);
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    head.resize(got);
    return ExifPhotoDate(FindExifBlock(head));
}

std::string FormatPhotoDate(const TPhotoDate& date, const std::string& locale) {
    const std::string name = locale.empty() ? UserTimeLocale() : locale;
    std::string language, country;
    SplitLocale(name, language, country);
    if (name != "C" && name != "POSIX") {
        try {
            std::ostringstream out;
            out.imbue(std::locale(name.c_str()));
            std::tm tm{};
            tm.tm_year = date.Year - 1900;
            tm.tm_mon = date.Month - 1;
            tm.tm_mday = date.Day;
            const char format[] = "%x";
            std::use_facet<std::time_put<char>>(out.getloc())
                .put(out, out, ' ', &tm, format, format + 2);
            if (!out.str().empty()) return out.str();
        } catch (const std::exception&) {
            // Not installed here: the country's usual order below.
        }
    }
    const std::string y = std::to_string(date.Year), m = Two(date.Month), d = Two(date.Day);
    if (language == "en" && (country == "US" || country.empty())) return m + "/" + d + "/" + y;
    if (language == "de" || language == "ru" || language == "pl" || language == "cs" ||
        language == "fi" || language == "nb" || language == "tr")
        return d + "." + m + "." + y;
    if (language == "nl") return d + "-" + m + "-" + y;
    if (language == "fr" || language == "es" || language == "it" || language == "pt" ||
        language == "en" || language == "el" || language == "ca")
        return d + "/" + m + "/" + y;
    return y + "-" + m + "-" + d;
}

std::string ExpandPhotoDate(const std::string& caption, const std::string& path,
                            const std::string& locale) {
    std::string text;
    std::optional<std::string> formatted;
    std::size_t at = 0;
    for (auto hit = caption.find(PhotoDateField); hit != std::string::npos;
         hit = caption.find(PhotoDateField, at)) {
        text.append(caption, at, hit - at);
        if (!formatted) {
            const auto date = PictureDate(path);
            formatted = date ? FormatPhotoDate(*date, locale) : std::string();
        }
        text += *formatted;
        at = hit + PhotoDateField.size();
    }
    text.append(caption, at);
    return text;
}
