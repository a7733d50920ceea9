// Language files: headers of every revision, entries, listing names, the folder scan and the
// choice of a file, and files that lie about their contents.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "lang/U_LangFile.h"

namespace {

// Writes a file of `revision` with the header texts and the given entries' records.
void WriteFileOfRevision(
    const std::string& path, int revision, std::uint16_t id, const std::string& h1,
    const std::string& h3, std::int32_t version,
    const std::vector<std::pair<std::int32_t, std::string>>& entryRecords = {}) {
    TStorefile store;
    store.Signature = std::string(LanguageFileSignature);
    store.Filename = path;
    ASSERT_TRUE(store.Open());
    store.AppendInteger(
        0, static_cast<std::int32_t>((static_cast<std::uint32_t>(revision) << 16) | id));
    store.AppendString(1, h1);
    store.AppendString(2, "Header two of " + h1);
    store.AppendString(3, h3);
    store.AppendString(4, "notes\r\nmore");
    store.AppendString(5, "BM-icon");
    if (revision >= 1) store.AppendInteger(512, version);
    if (revision >= 2) {
        store.AppendInteger(516, 77);
        store.AppendString(517, "r1");
        store.AppendString(518, "r2");
    }
    if (revision >= 1) {
        store.AppendString(513, "ime");
        store.AppendString(514, "DejaVu Sans");
        store.AppendInteger(515, 0x1EE); // only the low byte counts
    }
    if (revision >= 4) store.AppendInteger(516, 11);
    for (const auto& [key, text] : entryRecords) store.AppendString(key, text);
}

TEST(LangFile, HeadersOfEveryRevision) {
    test::TempDir dir;
    for (int revision = 0; revision <= 4; ++revision) {
        SCOPED_TRACE(revision);
        const std::string path = dir.File("rev" + std::to_string(revision) + ".SPK");
        WriteFileOfRevision(path, revision, 0x040C, "F", "X", 0x01020C05,
                            {{531, "MainDlg.go_btn"}, {1 | 0x20, "Allez"}});
        TStorefile store;
        ASSERT_TRUE(OpenLanguageFile(store, path));
        const TLanguageRecord r = ReadLanguageHeader(store);
        EXPECT_EQ(r.LanguageId, 0x040C);
        EXPECT_EQ(r.Revision, revision);
        EXPECT_EQ(r.Header2, "Header two of F");
        EXPECT_EQ(r.Notes, "notes\r\nmore");
        EXPECT_EQ(std::string(r.Icon.begin(), r.Icon.end()), "BM-icon");
        EXPECT_EQ(r.Version, revision >= 1 ? 0x01020C05 : 0);
        EXPECT_EQ(r.ReservedText2, revision >= 2 ? "r2" : "");
        EXPECT_EQ(r.FontName, revision >= 1 ? "DejaVu Sans" : "");
        EXPECT_EQ(r.Charset, revision >= 1 ? 0xEE : 1);
        EXPECT_EQ(r.MinFontSize, revision == 4 ? 11 : 8);
        // The first entry starts right after the header.
        TLanguageEntry entry;
        ASSERT_TRUE(ReadLanguageEntry(store, revision, entry));
        EXPECT_EQ(entry.Path, "MainDlg.go_btn");
    }
}

TEST(LangFile, RevisionAboveFourIsRefusedAndTwoByteIdentityIsRevisionZero) {
    test::TempDir dir;
    const std::string path = dir.File("rev5.SPK");
    WriteFileOfRevision(path, 5, 0x0407, "D", "G", 0);
    TStorefile store;
    ASSERT_TRUE(OpenLanguageFile(store, path));
    try {
        ReadLanguageHeader(store);
        ADD_FAILURE() << "revision 5 was read";
    } catch (const ELanguageFormat& e) {
        EXPECT_STREQ(e.what(), "Format not supported in this revision");
    }

    const std::string old = dir.File("old.SPK");
    {
        TStorefile w;
        w.Signature = std::string(LanguageFileSignature);
        w.Filename = old;
        ASSERT_TRUE(w.Open());
        const std::uint8_t id[] = {0x07, 0x04};
        w.AppendRecord(0, id, 2);
        for (int k = 1; k <= 5; ++k) w.AppendString(k, "h");
        w.AppendString(11, "MainDlg.codecs_lst"); // kind 11: caption, hint, items
        w.AppendString(0, "Cap");
        w.AppendString(0, "");
        w.AppendString(0, "a\r\nb\r\n");
        w.AppendString(12, "MainDlg.list"); // kind 12: items only
        w.AppendString(0, "z\r\n");
    }
    TStorefile r;
    ASSERT_TRUE(OpenLanguageFile(r, old));
    const TLanguageRecord header = ReadLanguageHeader(r);
    EXPECT_EQ(header.Revision, 0);
    EXPECT_EQ(header.LanguageId, 0x0407);
    TLanguageEntry e;
    ASSERT_TRUE(ReadLanguageEntry(r, 0, e));
    EXPECT_EQ(e.Path, "MainDlg.codecs_lst");
    EXPECT_TRUE(TLanguageEntry::Applies(e.Caption, 0));
    EXPECT_FALSE(TLanguageEntry::Applies(e.Hint, 0));
    EXPECT_EQ(SplitLines(e.Items.Text), (std::vector<std::string>{"a", "b"}));
    ASSERT_TRUE(ReadLanguageEntry(r, 0, e));
    EXPECT_EQ(e.Path, "MainDlg.list");
    EXPECT_FALSE(e.HasCaption);
    EXPECT_EQ(e.Items.Text, "z\r\n");
    EXPECT_FALSE(ReadLanguageEntry(r, 0, e));
}

TEST(LangFile, EntriesRoundTripAndTheTranslatedMarkDecides) {
    test::TempDir dir;
    const std::string path = dir.File("MRV_0000040C.SPK");
    TLanguageRecord header;
    header.LanguageId = 0x040C;
    header.Header1 = "Français";
    header.Header3 = "French";
    header.Version = static_cast<std::int32_t>((1u << 24) | (2u << 16) | (3u << 10) | 5u);
    {
        TStorefile store;
        store.Signature = std::string(LanguageFileSignature);
        store.Filename = path;
        ASSERT_TRUE(store.Open());
        WriteLanguageHeader(store, header);
        TLanguageEntry entry;
        entry.Path = "MainDlg.go_btn";
        entry.HasCaption = entry.HasHint = true;
        entry.Caption = {0x21, "Allez !"};
        entry.Hint = {0x02 | 0x10, "Hint not translated"};
        AppendLanguageEntry(store, entry);
        entry.Path = "MainDlg.main_ts";
        entry.HasCaption = entry.HasHint = false;
        entry.HasItems = true;
        entry.Items = {0x23, JoinLines({"un", "deux", "trois"})};
        AppendLanguageEntry(store, entry);
    }
    TStorefile store;
    ASSERT_TRUE(OpenLanguageFile(store, path));
    EXPECT_EQ(ReadLanguageHeader(store).Revision, 4);
    TLanguageEntry e;
    ASSERT_TRUE(ReadLanguageEntry(store, 4, e));
    EXPECT_EQ(e.PathKey, 528 + 2);
    EXPECT_TRUE(TLanguageEntry::Applies(e.Caption, 4)); // key 0x21
    EXPECT_FALSE(TLanguageEntry::Applies(e.Hint, 4));   // key 0x12: not marked translated
    EXPECT_TRUE(e.Hint.ShowHint());
    EXPECT_EQ(e.Items.Key, 0);
    ASSERT_TRUE(ReadLanguageEntry(store, 4, e));
    EXPECT_EQ(e.PathKey, 528 + 1);
    EXPECT_EQ(SplitLines(e.Items.Text), (std::vector<std::string>{"un", "deux", "trois"}));
    EXPECT_FALSE(ReadLanguageEntry(store, 4, e));
    EXPECT_EQ(LanguageDisplayName(path), "Français [1.2.3.5] - French");
}

TEST(LangFile, SplitLinesTakesEveryLineBreak) {
    EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
    EXPECT_TRUE(SplitLines("").empty());
}

TEST(LangFile, ScanFindsVariantsUpToTheFirstGap) {
    test::TempDir dir;
    const std::string folder = dir.Path().string() + "/";
    WriteFileOfRevision(LanguageFileName(folder, "MRV_", 0x040C), 0, 0x040C, "Fr", "0", 0);
    WriteFileOfRevision(LanguageFileName(folder, "MRV_", 0x1040C), 1, 0x040C, "Fr", "1",
                        0x01000000);
    WriteFileOfRevision(LanguageFileName(folder, "MRV_", 0x3040C), 0, 0x040C, "Fr", "3",
                        0); // after a gap
    WriteFileOfRevision(LanguageFileName(folder, "MRV_", 0x0407), 4, 0x0407, "De", "0", 0);
    // A bad first variant is skipped, and the next one is still looked at.
    test::WriteText(LanguageFileName(folder, "MRV_", 0x0409), "not a language file");
    WriteFileOfRevision(LanguageFileName(folder, "MRV_", 0x10409), 0, 0x0409, "En", "1", 0);
    const auto found = ScanLanguages({folder}, "MRV_");
    ASSERT_EQ(found.size(), 4u);
    // Table order: French before German, English before both.
    EXPECT_EQ(found[0].Key, 0x10409u);
    EXPECT_EQ(found[1].Key, 0x040Cu);
    EXPECT_EQ(found[1].DisplayName, "Fr - 0");
    EXPECT_EQ(found[2].DisplayName, "Fr [1.0.0.0] - 1");
    EXPECT_EQ(found[3].Key, 0x0407u);
    EXPECT_EQ(LanguageFileName(folder, "MRV_", 0x1040C), folder + "MRV_0001040C.SPK");
}

TEST(LangFile, EarlierFoldersWinAndLaterOnesFillIn) {
    test::TempDir a, b;
    const std::string fa = a.Path().string() + "/", fb = b.Path().string() + "/";
    WriteFileOfRevision(LanguageFileName(fa, "MRV_", 0x040C), 0, 0x040C, "A", "0", 0);
    WriteFileOfRevision(LanguageFileName(fb, "MRV_", 0x040C), 0, 0x040C, "B", "0", 0);
    WriteFileOfRevision(LanguageFileName(fb, "MRV_", 0x1040C), 0, 0x040C, "B", "1", 0);
    const auto found = ScanLanguages({fa, fb}, "MRV_");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].DisplayName, "A - 0");
    EXPECT_EQ(found[1].DisplayName, "B - 1");
}

TEST(LangFile, ChoosingAFile) {
    const std::vector<TLanguageListing> both = {
        {"Fr", 0x040C, ""}, {"Fr2", 0x1040C, ""}, {"De", 0x0407, ""}};
    const std::vector<TLanguageListing> one = {{"Fr", 0x040C, ""}, {"De", 0x0407, ""}};
    EXPECT_EQ(MatchStoredLanguage(both, 0x1040C), 1);
    EXPECT_EQ(MatchStoredLanguage(one, 0x1040C), 0); // through the identifier
    EXPECT_EQ(MatchStoredLanguage(one, 0x0C0C), 0);  // through the primary language
    EXPECT_EQ(MatchStoredLanguage(one, 0x0410), -1);
    EXPECT_EQ(MatchUserLanguage(one, 0x0C07), 1); // German (Austria) takes German
    EXPECT_EQ(MatchUserLanguage(both, 0x040C), 0);
    EXPECT_EQ(MatchUserLanguage(one, 0x0409), -1);
}

TEST(LangFile, FilesThatDoNotOpenForApplying) {
    test::TempDir dir;
    TStorefile store;
    EXPECT_FALSE(OpenLanguageFile(store, dir.File("missing.SPK")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing.SPK"))); // nothing created
    const std::string few = dir.File("few.SPK");
    {
        TStorefile w;
        w.Signature = std::string(LanguageFileSignature);
        w.Filename = few;
        ASSERT_TRUE(w.Open());
        for (int k = 0; k < 5; ++k) w.AppendString(k, "x");
    }
    EXPECT_FALSE(OpenLanguageFile(store, few)); // five records or fewer
    test::WriteText(dir.File("wrong.SPK"), "DLX LANGUAGE FILF\0\0\0\0");
    EXPECT_FALSE(OpenLanguageFile(store, dir.File("wrong.SPK")));
}

// Corrupt files: each read ends, no size read from the file drives an allocation beyond
// the file's own size, and a lying count does not make the walk go on.
TEST(LangFile, CorruptFilesEndCleanly) {
    test::TempDir dir;
    const std::string base = dir.File("base.SPK");
    WriteFileOfRevision(
        base, 4, 0x040C, "F", "X", 0,
        {{531, "MainDlg.go_btn"}, {768, std::string(4, '\0')}, {0x21, "Go"}, {0, ""}, {0, ""}});
    const auto good = test::ReadFile(base);
    struct TCase {
        const char* Name;
        std::function<void(std::vector<std::uint8_t>&)> Break;
    };
    const TCase cases[] = {
        {"truncated in the last record", [](auto& b) { b.resize(b.size() - 6); }},
        {"truncated in the header", [](auto& b) { b.resize(60); }},
        {"length past the end",
         [](auto& b) {
             b[21] = 0xFF;
             b[22] = 0xFF;
             b[23] = 0xFF;
             b[24] = 0x7F;
         }},
        {"count lies high",
         [](auto& b) {
             b[17] = 0xFF;
             b[18] = 0xFF;
             b[19] = 0xFF;
             b[20] = 0x7F;
         }},
        {"count lies negative", [](auto& b) { b[20] = 0x80; }},
        {"backward length wrong", [](auto& b) { b[b.size() - 1] = 0x40; }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        auto bytes = good;
        c.Break(bytes);
        const std::string path = dir.File("broken.SPK");
        test::WriteFile(path, bytes);
        (void)LanguageDisplayName(path);
        TStorefile store;
        if (!OpenLanguageFile(store, path)) continue;
        const TLanguageRecord header = ReadLanguageHeader(store);
        TLanguageEntry entry;
        int entries = 0;
        while (ReadLanguageEntry(store, header.Revision, entry)) ASSERT_LT(++entries, 10);
        EXPECT_LE(entries, 1);
    }
}

TEST(LangFile, AMillionTinyRecordsAreWalkedQuickly) {
    test::TempDir dir;
    const std::string path = dir.File("many.SPK");
    std::vector<std::uint8_t> bytes(LanguageFileSignature.begin(), LanguageFileSignature.end());
    const std::uint32_t count = 1000000;
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(count >> (8 * i)));
    const std::uint8_t empty[12] = {8, 0, 0, 0, 0x21, 0, 0, 0, 12, 0, 0, 0};
    bytes.reserve(bytes.size() + 12 * count);
    for (std::uint32_t i = 0; i < count; ++i) bytes.insert(bytes.end(), empty, empty + 12);
    test::WriteFile(path, bytes);

    const auto start = std::chrono::steady_clock::now();
    TStorefile store;
    ASSERT_TRUE(OpenLanguageFile(store, path));
    const TLanguageRecord header = ReadLanguageHeader(store); // a 0-byte identity: revision 0
    EXPECT_EQ(header.Revision, 0);
    TLanguageEntry entry;
    std::size_t entries = 0;
    while (ReadLanguageEntry(store, header.Revision, entry)) ++entries;
    EXPECT_EQ(entries, count - 6); // kind 0x21 carries no further records in revision 0
    store.Last();
    EXPECT_EQ(store.RecordIndex(), static_cast<std::int32_t>(count) - 1);
    const auto seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 5.0);
}

} // namespace
