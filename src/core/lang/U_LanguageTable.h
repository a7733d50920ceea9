#pragma once
// The language identifiers (Windows LANGIDs) that language files may carry, in the order of
// the language list, with their English names and the locale names they stand for; and the
// user's default language taken from the locale environment.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

struct TLanguageId {
    std::uint16_t Id;
    const char* Name;   // English name, as the system names the language
    const char* Locale; // POSIX locale ("fr_FR", "sr_RS@latin"); empty when none matches
};

// The 145 identifiers, "Process Default Language" first, then by English name.
std::span<const TLanguageId> LanguageIds();

// English name of an identifier; "Language 0x0000" with its number for one not listed.
std::string LanguageEnglishName(std::uint16_t id);

// Language identifier of a locale name such as "de_AT.UTF-8" or "sr_RS@latin": the exact
// entry, else the first entry of the same language; 0 when the language is unknown.
std::uint16_t LangIdFromLocale(std::string_view locale);

// The locale that names the messages' language: the first non-empty of LC_ALL, LC_MESSAGES
// and LANG, looked up through `getenv`.
std::string MessagesLocale(const std::function<const char*(const char*)>& getenv);

// The user's default language identifier from the process environment: English (United
// States) when the locale is unset, C/POSIX or unknown.
std::uint16_t UserDefaultLangId();
std::uint16_t UserDefaultLangId(const std::function<const char*(const char*)>& getenv);
