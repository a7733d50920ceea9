// "morvanta -co" as a translator runs it: the reference language file with every English text
// of every form, written beside the program (or in the current folder when that cannot be
// written), announced on stdout, and read back losslessly by morvanta-lang.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "lang/U_LangFile.h"
#include "lang/U_LangText.h"

namespace {

namespace fs = std::filesystem;

struct TRefEntry {
    std::int32_t PathKey = 0;
    std::vector<TRawRecord> Texts;
};

class LangReferenceTest : public ::testing::Test {
protected:
    LangReferenceTest() {
        Bin = Dir.File("bin");
        fs::create_directories(Bin);
        Exe = Bin + "/morvanta";
        fs::copy_file(MORVANTA_EXE, Exe);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("MORVANTA_EXIT_WHEN_SHOWN", "1", 1);
        setenv("MORVANTA_CONFIG_DIR", Dir.File("config").c_str(), 1);
        setenv("XDG_DATA_HOME", Dir.File("data").c_str(), 1);
        setenv("XDG_STATE_HOME", Dir.File("state").c_str(), 1);
    }
    // Runs the program with `flag`; it writes the file, then starts and ends once shown.
    test::CommandResult RunProgram(const std::string& flag) {
        return test::Run({"timeout", "60", Exe, flag});
    }
    std::map<std::string, TRefEntry> Entries(const std::string& path) {
        const std::vector<TRawRecord> records = ReadLanguageRecords(path);
        std::map<std::string, TRefEntry> entries;
        EXPECT_GE(records.size(), 14u);
        for (std::size_t i = 14; i + 5 <= records.size(); i += 5) {
            TRefEntry e{records[i].Key, {records[i + 2], records[i + 3], records[i + 4]}};
            EXPECT_EQ(records[i + 1].Key, LangKeyAlignment);
            EXPECT_TRUE(entries.emplace(records[i].Payload, e).second) << records[i].Payload;
        }
        EXPECT_EQ((records.size() - 14) % 5, 0u);
        return entries;
    }

    test::TempDir Dir;
    std::string Bin, Exe;
};

TEST_F(LangReferenceTest, ListsEveryEnglishTextOfEveryFormAndRoundTrips) {
    const test::CommandResult r = RunProgram("-co");
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    const std::string file = Bin + "/MRV_ORIGINAL.SPK";
    EXPECT_NE(r.Out.find("Reference language file written to " + file), std::string::npos) << r.Out;
    ASSERT_TRUE(fs::exists(file));

    const std::vector<TRawRecord> records = ReadLanguageRecords(file);
    ASSERT_GT(records.size(), 14u);
    EXPECT_EQ(records[0].Payload, std::string("\0\0\4\0", 4)); // language 0, revision 4
    const auto entries = Entries(file);

    // Every form is there, each under its own name.
    std::set<std::string> forms;
    for (const auto& [path, e] : entries) forms.insert(path.substr(0, path.find('.')));
    for (const char* form :
         {"AboutDlg", "JumpDlg", "ReorderDlg", "LoaderDlg", "SettingsDlg", "ExpertDlg",
          "ProcessSuccessDlg", "BurnDlg", "MainDlg", "CodecConfigDlg", "CodecAboutDlg"})
        EXPECT_TRUE(forms.contains(form)) << form;

    // English texts, never marked translated; the path key counts the texts offered.
    const std::map<std::string, std::string> captions = {
        {"MainDlg.go_btn", "Go !"},
        {"MainDlg.Greyscale1", "Greyscale"},
        {"MainDlg.osd_chk", "Enable \"On Video Text Insertion\""},
        {"MainDlg.photo_grp", "Photos"},
        {"MainDlg.N2", "?"},
        {"JumpDlg", "Jump To..."},
        {"ExpertDlg.sng_chk", "Single Frame mode"},
        {"ProcessSuccessDlg", "Done !"},
        {"CodecConfigDlg.default_btn", "Defaults"},
    };
    for (const auto& [path, caption] : captions) {
        ASSERT_TRUE(entries.contains(path)) << path;
        EXPECT_EQ(entries.at(path).Texts[0].Key, TextKindCaption) << path;
        EXPECT_EQ(entries.at(path).Texts[0].Payload, caption) << path;
    }
    for (const auto& [path, e] : entries) {
        int offered = 0;
        for (std::size_t k = 0; k < 3; ++k) {
            const TRawRecord& t = e.Texts[k];
            if (t.Key == 0) {
                EXPECT_TRUE(t.Payload.empty()) << path;
                continue;
            }
            ++offered;
            EXPECT_EQ(t.Key & TextTranslated, 0) << path;
            EXPECT_EQ(t.Key & TextKindMask, static_cast<int>(k) + 1) << path;
            EXPECT_FALSE(t.Payload.find_first_not_of(" \t\r\n") == std::string::npos) << path;
        }
        EXPECT_EQ(e.PathKey, LangKeyPath + offered) << path;
    }
    const TRawRecord& messages = entries.at("MainDlg.main_ts").Texts[2];
    EXPECT_EQ(SplitLines(messages.Payload).size(), 17u);
    EXPECT_EQ(SplitLines(messages.Payload)[1], "Empty picture list");

    // The user's data and the machine's state are not for translation.
    for (const char* excluded :
         {"MainDlg.codecs_cmb", "MainDlg.sound_txt", "MainDlg.out_txt", "MainDlg.audioduration_lbl",
          "MainDlg.prog_lbl", "MainDlg.thumbstats_lbl", "MainDlg.StatusBar", "MainDlg.StatusPanel0",
          "ReorderDlg.lst", "SettingsDlg.lng"})
        EXPECT_FALSE(entries.contains(excluded)) << excluded;

    // Text form and back: the same bytes.
    const std::string text = Dir.File("ref.txt"), back = Dir.File("back.SPK");
    ASSERT_EQ(test::Run({MORVANTA_LANG_EXE, "to-text", file, text}).ExitCode, 0);
    ASSERT_EQ(test::Run({MORVANTA_LANG_EXE, "to-spk", text, back}).ExitCode, 0);
    EXPECT_EQ(test::ReadFile(back), test::ReadFile(file));
}

TEST_F(LangReferenceTest, SlashFormWorksAndAnUnwritableFolderFallsBackToTheCurrentOne) {
    ASSERT_EQ(RunProgram("/CO").ExitCode, 0);
    EXPECT_TRUE(fs::exists(Bin + "/MRV_ORIGINAL.SPK"));
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    fs::remove(Bin + "/MRV_ORIGINAL.SPK");
    fs::permissions(Bin, fs::perms::owner_read | fs::perms::owner_exec);
    const fs::path before = fs::current_path();
    fs::current_path(Dir.Path());
    const test::CommandResult r = RunProgram("-co");
    fs::current_path(before);
    fs::permissions(Bin, fs::perms::owner_all);
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_TRUE(fs::exists(Dir.File("MRV_ORIGINAL.SPK")));
    EXPECT_NE(r.Out.find(Dir.File("MRV_ORIGINAL.SPK")), std::string::npos) << r.Out;
}

} // namespace
