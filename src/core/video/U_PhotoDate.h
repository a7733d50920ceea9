#pragma once
// "%date" in a caption: the day the photo was taken, from its EXIF block, written the way the
// user's locale writes dates.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

inline constexpr std::string_view PhotoDateField = "%date";

struct TPhotoDate {
    int Year = 0;
    int Month = 0;
    int Day = 0;
    bool operator==(const TPhotoDate&) const = default;
};

// DateTimeOriginal of the EXIF sub-IFD, else DateTime of IFD0, from a TIFF structure (either
// byte order). None when absent, malformed or not a real day.
std::optional<TPhotoDate> ExifPhotoDate(std::span<const std::uint8_t> tiff);
// The same from a JPEG file, of which only the head is read. None for other files.
std::optional<TPhotoDate> PictureDate(const std::string& path);

// The date as `locale` (e.g. "fr_FR.UTF-8"; "" for the user's: LC_ALL, LC_TIME, LANG) writes
// it: the system's own format when that locale is installed, else the usual order of the
// locale's country (day.month.year for German, month/day/year for US English, year-month-day
// for C and unknown ones).
std::string FormatPhotoDate(const TPhotoDate& date, const std::string& locale);

// `caption` with every "%date" replaced by the picture's date, or by nothing when the picture
// has none.
std::string ExpandPhotoDate(const std::string& caption, const std::string& path,
                            const std::string& locale);
