// Message lookup by English text, and the user's language from the locale environment.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "lang/U_LanguageTable.h"
#include "lang/U_TextStorage.h"

namespace {

TTextStorage Storage() {
    return TTextStorage({"Soundtrack too short", "Empty picture list",
                         "File not found :", "Invalid output file", "unused"});
}

TEST(TextStorage, LooksUpByEnglishTextWithoutRegardToCase) {
    TTextStorage ts = Storage();
    ts.Items.Set(1, "Liste d'images vide");
    EXPECT_EQ(ts.TranslateText("EMPTY PICTURE LIST"), "Liste d'images vide");
    EXPECT_EQ(ts.TranslateText("Not a message"), "Not a message");
    EXPECT_EQ(ts.TranslateText("Invalid output file"), "Invalid output file");
    // A line set to "unused" (exactly) gives the English text back.
    ts.Items.Set(3, "unused");
    EXPECT_EQ(ts.TranslateText("Invalid output file"), "Invalid output file");
    ts.Items.Set(3, "Unused");
    EXPECT_EQ(ts.TranslateText("invalid output file"), "Unused");
    // The lookup follows the English list, not the translated one.
    EXPECT_EQ(ts.TranslateText("Liste d'images vide"), "Liste d'images vide");
}

TEST(TextStorage, ShorterTranslationLeavesTheRestInEnglish) {
    TTextStorage ts = Storage();
    ts.Items.Assign({"Bande-son trop courte", "Liste vide"});
    EXPECT_EQ(ts.TranslateText("Empty picture list"), "Liste vide");
    EXPECT_EQ(ts.TranslateText("File not found :"), "File not found :");
    EXPECT_EQ(ts.BaseItems().size(), 5u);
}

TEST(LanguageTable, HoldsTheListedIdentifiersOnce) {
    const auto ids = LanguageIds();
    ASSERT_EQ(ids.size(), 145u);
    EXPECT_EQ(ids.front().Id, 0x0400);
    EXPECT_EQ(ids.back().Id, 0x042A);
    std::set<std::uint16_t> seen;
    std::set<std::string> locales;
    for (const TLanguageId& l : ids) {
        EXPECT_TRUE(seen.insert(l.Id).second) << std::hex << l.Id;
        if (*l.Locale != '\0') {
            EXPECT_TRUE(locales.insert(l.Locale).second) << l.Locale;
        }
        EXPECT_EQ(LangIdFromLocale(*l.Locale ? l.Locale : "C"), *l.Locale ? l.Id : 0) << l.Name;
    }
    EXPECT_EQ(LanguageEnglishName(0x0C07), "German (Austria)");
    EXPECT_EQ(LanguageEnglishName(0x7777), "Language 0x7777");
}

TEST(LanguageTable, LocaleNamesGiveIdentifiers) {
    const std::map<std::string, std::uint16_t> cases = {
        {"fr_FR", 0x040C},
        {"de_AT", 0x0C07},
        {"pt_BR", 0x0416},
        {"de_AT.UTF-8", 0x0C07},
        {"fr_CA.utf8", 0x0C0C},
        {"de_DE.UTF-8@euro", 0x0407},
        {"sr_RS@latin", 0x081A},
        {"sr_RS", 0x0C1A},
        {"uz_UZ.UTF-8@cyrillic", 0x0843},
        {"es_ES", 0x040A},
        {"en_GB", 0x0809},
        {"no_NO", 0x0414},
        {"fr_SN", 0x040C}, // another country: the language's first entry
        {"de", 0x0407},
        {"xx_YY", 0},
        {"C", 0},
        {"POSIX", 0},
        {"", 0},
    };
    for (const auto& [locale, id] : cases) EXPECT_EQ(LangIdFromLocale(locale), id) << locale;
}

TEST(LanguageTable, EnvironmentPrecedence) {
    struct TCase {
        std::map<std::string, std::string> Env;
        std::uint16_t Id;
    };
    const TCase cases[] = {
        {{{"LC_ALL", "de_AT.UTF-8"}, {"LC_MESSAGES", "fr_FR"}, {"LANG", "pt_BR"}}, 0x0C07},
        {{{"LC_ALL", ""}, {"LC_MESSAGES", "fr_FR"}, {"LANG", "pt_BR"}}, 0x040C},
        {{{"LANG", "pt_BR.UTF-8"}}, 0x0416},
        {{{"LC_MESSAGES", "C"}, {"LANG", "de_DE"}}, 0x0409}, // C is a choice, and means English
        {{}, 0x0409},
        {{{"LANG", "tlh_QO"}}, 0x0409},
    };
    for (const TCase& c : cases) {
        const auto getenv = [&](const char* name) -> const char* {
            const auto found = c.Env.find(name);
            return found == c.Env.end() ? nullptr : found->second.c_str();
        };
        EXPECT_EQ(UserDefaultLangId(getenv), c.Id) << MessagesLocale(getenv);
    }
}

} // namespace
