// morvanta-lang as a user runs it: language files to text and back without losing a byte,
// clear refusals, the shipped translation sources, and the programs' own version blocks.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "lang/U_LangFile.h"
#include "lang/U_LangText.h"
#include "lang/U_VersionInfo.h"

namespace {

namespace fs = std::filesystem;

struct TRec {
    std::int32_t Key;
    std::string Payload;
};

std::string Int32(std::uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}

void WriteRecords(const std::string& path, const std::vector<TRec>& records) {
    TStorefile store;
    store.Signature = std::string(LanguageFileSignature);
    store.Filename = path;
    ASSERT_TRUE(store.Open());
    for (const TRec& r : records) store.AppendString(r.Key, r.Payload);
}

// A revision 4 file with every kind of record and every kind of text the text form handles.
std::vector<TRec> EveryKind() {
    std::string icon = "BM";
    for (int i = 0; i < 300; ++i) icon += static_cast<char>(i * 7);
    return {
        {0, Int32((4u << 16) | 0x040C)},
        {1, "Français"},
        {2, "Langue : \"français\" \\ ok"},
        {3, "France"},
        {4, "line one\r\nline two\r\n\r\n"},
        {5, icon},
        {512, Int32((1u << 24) | (2u << 16) | (3u << 10) | 5u)},
        {516, Int32(0)},
        {517, ""},
        {518, std::string("\x01tab\there\xff", 10)},
        {513, ""},
        {514, "DejaVu Sans"},
        {515, Int32(0xEE)},
        {516, Int32(static_cast<std::uint32_t>(-9))},
        // caption and hint, hint shown
        {531 - 1, "MainDlg.go_btn"},
        {768, Int32(1)},
        {0x21, "Allez !"},
        {0x32, "Démarrer la vidéo"},
        {0, ""},
        // items only, items as lines; a text line ending in a blank stays quoted
        {529, "MainDlg.main_ts"},
        {768, Int32(0)},
        {0, ""},
        {0, ""},
        {0x23, "un\r\ndeux \r\ntrois\r\n"},
        {529, "MainDlg.res_cmb"},
        {768, Int32(2)},
        {0, ""},
        {0, ""},
        {0x23, "320x240\r\n640x480\r\n720x576\r\n"},
        // a key other than the usual one, a path that needs quotes, an odd alignment record
        {600, "Form with space.x\"y"},
        {768, "\x01\x02\x03"},
        {0x01, "not translated"},
        {0x45, "odd flags"},
        {0, "text with key 0"},
        // a truncated last entry
        {531, "MainDlg.Greyscale1"},
        {768, Int32(0)},
    };
}

std::string Tool(const std::vector<std::string>& args, int expectedExit = 0) {
    std::vector<std::string> argv = {MORVANTA_LANG_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    const test::CommandResult r = test::Run(argv);
    EXPECT_EQ(r.ExitCode, expectedExit) << r.Err;
    return r.Out + r.Err;
}

TEST(LangTool, BinaryToTextToBinaryKeepsEveryByte) {
    test::TempDir dir;
    const std::string original = dir.File("MRV_0000040C.SPK");
    WriteRecords(original, EveryKind());
    Tool({"to-text", original, dir.File("fr.txt")});
    Tool({"to-spk", dir.File("fr.txt"), dir.File("again.SPK")});
    EXPECT_EQ(test::ReadFile(dir.File("again.SPK")), test::ReadFile(original));
    // Without an output file the text goes to stdout, the same text.
    const std::string text = Tool({"to-text", original});
    const auto saved = test::ReadFile(dir.File("fr.txt"));
    EXPECT_EQ(text, std::string(saved.begin(), saved.end()));
    // What a translator reads.
    EXPECT_NE(text.find("language 0x040C revision=4"), std::string::npos);
    EXPECT_NE(text.find("version 1.2.3.5"), std::string::npos);
    EXPECT_NE(text.find("caption translated \"Allez !\""), std::string::npos);
    EXPECT_NE(text.find("hint translated show-hint \"Démarrer la vidéo\""), std::string::npos);
    EXPECT_NE(text.find("    | 640x480\n"), std::string::npos);
    EXPECT_NE(text.find("\\xFF"), std::string::npos);
}

TEST(LangTool, RoundTripsOlderRevisions) {
    for (int revision : {0, 1, 2, 3}) {
        SCOPED_TRACE(revision);
        test::TempDir dir;
        std::vector<TRec> records = {
            {0, Int32((static_cast<std::uint32_t>(revision) << 16) | 0x0407)},
            {1, "Deutsch"},
            {2, ""},
            {3, "D"},
            {4, ""},
            {5, ""}};
        if (revision == 0) {
            records[0].Payload.resize(2);
            records.insert(records.end(), {{11, "MainDlg.lst"},
                                           {0, "c"},
                                           {0, "h"},
                                           {0, "a\r\n"},
                                           {12, "MainDlg.x"},
                                           {0, "z\r\n"},
                                           {13, "MainDlg.m"},
                                           {0, "Menu"},
                                           {0, ""}});
        } else {
            records.insert(records.end(), {{512, Int32(1)},
                                           {513, ""},
                                           {514, "F"},
                                           {515, Int32(1)},
                                           {530, "MainDlg.a"},
                                           {0x21, "A"},
                                           {0x22, "B"},
                                           {0, ""}});
        }
        const std::string file = dir.File("de.SPK");
        WriteRecords(file, records);
        Tool({"to-text", file, dir.File("de.txt")});
        Tool({"to-spk", dir.File("de.txt"), dir.File("de2.SPK")});
        EXPECT_EQ(test::ReadFile(dir.File("de2.SPK")), test::ReadFile(file));
    }
}

TEST(LangTool, EditedTextBuildsAFileTheProgramReads) {
    test::TempDir dir;
    test::WriteText(dir.File("es.txt"),
                    "language 0x0C0A revision=4\nheader1 \"Español\"\nheader2 \"\"\nheader3 \"E\"\n"
                    "notes \"\"\nicon\nversion 0.1.0.0\nreserved-int 0\nreserved-text1 \"\"\n"
                    "reserved-text2 \"\"\ninput-method \"\"\nfont \"MS Sans Serif\"\ncharset 1\n"
                    "min-font-size 8\n\n# a comment\nentry MainDlg.go_btn\n  align 0\n"
                    "  caption translated \"¡Vamos!\"\n  empty\n  empty\n");
    Tool({"to-spk", dir.File("es.txt"), dir.File("es.SPK")});
    TStorefile store;
    ASSERT_TRUE(OpenLanguageFile(store, dir.File("es.SPK")));
    const TLanguageRecord header = ReadLanguageHeader(store);
    EXPECT_EQ(header.LanguageId, 0x0C0A);
    EXPECT_EQ(header.Version, static_cast<std::int32_t>(1u << 16));
    TLanguageEntry entry;
    ASSERT_TRUE(ReadLanguageEntry(store, header.Revision, entry));
    EXPECT_EQ(entry.PathKey, 529); // one text offered
    EXPECT_EQ(entry.Caption.Text, "¡Vamos!");
    EXPECT_TRUE(entry.Caption.Translated());
}

TEST(LangTool, RefusesWhatItCannotConvert) {
    test::TempDir dir;
    test::WriteText(dir.File("other.SPK"), "NOT A LANGUAGE FILE AT ALL");
    EXPECT_NE(Tool({"to-text", dir.File("other.SPK")}, 1).find("is not a language file"),
              std::string::npos);
    WriteRecords(dir.File("lying.SPK"), {{1, "a"}});
    auto bytes = test::ReadFile(dir.File("lying.SPK"));
    bytes[17] = 9; // the count says 9
    test::WriteFile(dir.File("lying.SPK"), bytes);
    EXPECT_NE(Tool({"to-text", dir.File("lying.SPK")}, 1).find("the header counts 9 records"),
              std::string::npos);
    EXPECT_NE(Tool({"to-text", dir.File("missing.SPK")}, 1).find("File not found"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(dir.File("missing.SPK")));

    const std::pair<const char*, const char*> badTexts[] = {
        {"language 0x0409\nheader1 \"open\n", "line 2: unfinished"},
        {"frobnicate 1\n", "line 1: unknown record \"frobnicate\""},
        {"charset many\n", "line 1: wrong number"},
        {"version 1.2.300.4\n", "line 1: wrong version"},
        {"  | stray\n", "line 1: this line continues no record"},
        {"icon\n  : ***\n", "line 2: the base64 bytes cannot be read"},
        {"entry\n", "line 1: an entry needs its component path"},
    };
    for (const auto& [text, message] : badTexts) {
        test::WriteText(dir.File("bad.txt"), text);
        EXPECT_NE(Tool({"to-spk", dir.File("bad.txt"), dir.File("bad.SPK")}, 1).find(message),
                  std::string::npos)
            << message;
        EXPECT_FALSE(fs::exists(dir.File("bad.SPK")));
    }
    EXPECT_NE(Tool({"frob"}, 2).find("Usage"), std::string::npos);
}

TEST(LangTool, ShippedTranslationSourcesBuild) {
    test::TempDir dir;
    int files = 0;
    for (const auto& e : fs::directory_iterator(fs::path(MORVANTA_SOURCE_DIR) / "data" / "lang")) {
        if (e.path().extension() != ".txt") continue;
        ++files;
        const std::string spk = dir.File(e.path().stem().string() + ".SPK");
        Tool({"to-spk", e.path().string(), spk});
        TStorefile store;
        ASSERT_TRUE(OpenLanguageFile(store, spk)) << e.path();
        const TLanguageRecord header = ReadLanguageHeader(store);
        EXPECT_EQ(LanguageFileName("", "MRV_", header.LanguageId),
                  e.path().stem().string() + ".SPK");
        TLanguageEntry entry;
        bool messages = false;
        while (ReadLanguageEntry(store, header.Revision, entry))
            if (entry.Path == "MainDlg.main_ts" && entry.Items.Translated())
                messages = SplitLines(entry.Items.Text).size() == 17;
        EXPECT_TRUE(messages) << e.path() << ": the 17 message lines";
    }
    EXPECT_GE(files, 1);
}

TEST(VersionBlock, ProgramsCarryTheProjectVersion) {
    EXPECT_EQ(GetFileVersionText(MORVANTA_RENDER_EXE), MORVANTA_VERSION);
    EXPECT_EQ(GetFileVersionText(MORVANTA_LANG_EXE), MORVANTA_VERSION);
#ifdef MORVANTA_EXE
    EXPECT_EQ(GetFileVersionText(MORVANTA_EXE), MORVANTA_VERSION);
#endif
    EXPECT_EQ(Tool({"--version"}), std::string("morvanta-lang ") + MORVANTA_VERSION + "\n");
    TVersionInfo info;
    info.SetFileName(MORVANTA_RENDER_EXE);
    EXPECT_EQ(info.ProductName(), "Morvanta");
    EXPECT_EQ(info.InternalName(), "morvanta-render");
    EXPECT_EQ(info.FileVersionInt(), PackVersion(MORVANTA_VERSION));
    EXPECT_EQ(info.LanguageName(), "English (United States)");
    // The running test carries no block of its own, though it holds the marker's text.
    TVersionInfo self;
    self.LoadFromModule();
    EXPECT_EQ(self.FileVersion(), "");
    EXPECT_EQ(GetFileVersionText(self.FileName()), "Unable to retrieve file version info");
}

} // namespace
