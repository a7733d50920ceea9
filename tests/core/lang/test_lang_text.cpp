// The text form of language files: any list of records survives a trip through text, the
// fuzzers' seeds convert both ways, and the small encoders refuse what is not theirs.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "lang/U_LangFile.h"
#include "lang/U_LangText.h"

namespace {

namespace fs = std::filesystem;

std::string Int32(std::uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}

// Payloads a translator's file may hold, and ones it should not but could.
std::string RandomPayload(std::mt19937& random) {
    static const std::vector<std::string> pieces = {
        "Go !", "é",    "\r\n", "\n",    "\r",       " ",     "\"",
        "\\",   "\t",   "|",    ":",     "#",        "key=1", "translated",
        "\xff", "\xc3", std::string(1, '\0'), "ñ\r\n", "line\r\n", "€",     "\xed\xa0\x80"};
    std::string payload;
    const int n = static_cast<int>(random() % 6);
    for (int i = 0; i < n; ++i) {
        if (random() % 5 == 0)
            payload += static_cast<char>(random());
        else
            payload += pieces[random() % pieces.size()];
    }
    return payload;
}

TEST(LangText, RandomRecordListsSurviveText) {
    std::mt19937 random(7);
    const std::int32_t keys[] = {0,   1,   2,   3,   4,   5,   0x21, 0x32, 0x23, 0x11,      0x45,
                                 512, 513, 516, 528, 529, 530, 531,  768,  -1,   0x7FFFFFFF};
    for (int round = 0; round < 400; ++round) {
        std::vector<TRawRecord> records;
        // The first record decides the layout: vary its size and revision.
        const int identity = static_cast<int>(random() % 4);
        records.push_back({0, identity == 0   ? Int32((random() % 6) << 16 | 0x040C)
                              : identity == 1 ? std::string("\x07\x04", 2)
                                              : RandomPayload(random)});
        const int n = static_cast<int>(random() % 40);
        for (int i = 0; i < n; ++i) {
            TRawRecord r;
            r.Key = keys[random() % std::size(keys)];
            r.Payload = random() % 3 == 0 ? Int32(static_cast<std::uint32_t>(random()))
                                          : RandomPayload(random);
            records.push_back(r);
        }
        const std::string text = FormatLanguageText(records);
        std::vector<TRawRecord> back;
        ASSERT_NO_THROW(back = ParseLanguageText(text)) << text;
        ASSERT_EQ(back, records) << text;
    }
}

TEST(LangText, SeedFilesConvertBothWays) {
    const fs::path seeds =
        fs::path(MORVANTA_SOURCE_DIR) / "tests" / "fuzz" / "corpus" / "storefile";
    test::TempDir dir;
    int binaries = 0;
    for (const auto& e : fs::directory_iterator(seeds)) {
        const std::string path = e.path().string();
        if (e.path().extension() == ".SPK") {
            ++binaries;
            const auto records = ReadLanguageRecords(path);
            EXPECT_EQ(ParseLanguageText(FormatLanguageText(records)), records) << path;
            WriteLanguageRecords(records, dir.File("again.SPK"));
            EXPECT_EQ(test::ReadFile(dir.File("again.SPK")), test::ReadFile(path)) << path;
        } else {
            const auto bytes = test::ReadFile(path);
            const auto records = ParseLanguageText(std::string(bytes.begin(), bytes.end()));
            EXPECT_EQ(ParseLanguageText(FormatLanguageText(records)), records) << path;
        }
    }
    EXPECT_GE(binaries, 3);
}

TEST(LangText, Base64IsStrict) {
    const std::pair<std::string, std::string> pairs[] = {{"", ""},
                                                         {"f", "Zg=="},
                                                         {"fo", "Zm8="},
                                                         {"foo", "Zm9v"},
                                                         {std::string("\0\xff", 2), "AP8="}};
    for (const auto& [bytes, text] : pairs) {
        EXPECT_EQ(EncodeBase64(bytes), text);
        std::string decoded;
        EXPECT_TRUE(DecodeBase64(text, decoded)) << text;
        EXPECT_EQ(decoded, bytes);
    }
    std::string out;
    for (const char* bad : {"Zh==", "Zm9=", "Zg=", "Z===", "Zg==Zg==", "Zm 9", "Zm9v*AAA"})
        EXPECT_FALSE(DecodeBase64(bad, out)) << bad;
}

TEST(LangText, Utf8SequencesAreCheckedStrictly) {
    const std::pair<std::string, std::size_t> cases[] = {
        {"a", 1},
        {"é", 2},
        {"€", 3},
        {"\xf0\x9f\x98\x80", 4},
        {"\xc0\x80", 0},
        {"\xe0\x80\xaf", 0},
        {"\xed\xa0\x80", 0},
        {"\xf4\x90\x80\x80", 0},
        {"\xc3", 0},
        {"\x80", 0},
        {"\xff", 0},
    };
    for (const auto& [text, length] : cases) EXPECT_EQ(Utf8SequenceLength(text, 0), length) << text;
}

} // namespace
