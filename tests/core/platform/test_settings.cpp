#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>

#include "TestSupport.h"
#include "platform/os/U_Settings.h"

namespace {

// Points the store at a folder of its own for one test, and back afterwards.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("MORVANTA_CONFIG_DIR")) saved_ = old;
        UseFolder(dir_.File("config"));
    }
    void TearDown() override {
        if (saved_)
            setenv("MORVANTA_CONFIG_DIR", saved_->c_str(), 1);
        else
            unsetenv("MORVANTA_CONFIG_DIR");
    }
    static void UseFolder(const std::string& folder) {
        setenv("MORVANTA_CONFIG_DIR", folder.c_str(), 1);
    }
    std::string MachineFile() const { return dir_.File("config") + "/machine.ini"; }

    test::TempDir dir_;

private:
    std::optional<std::string> saved_;
};

std::string ReadText(const std::string& path) {
    const auto bytes = test::ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

} // namespace

TEST_F(SettingsTest, StringsRoundTripWhateverTheyHold) {
    EXPECT_EQ(ReadSetting("LastFCC"), "") << "an absent value reads as empty text";
    const std::string awkward[] = {"",
                                   "xvid",
                                   "C:\\Music\\theme.mp3",
                                   "two\nlines\r\nand\\n a literal",
                                   "dword:0000002a",
                                   "name=value=more",
                                   "\ttab, \x01 control, \xC3\xA9t\xC3\xA9 ",
                                   "ends with a backslash\\"};
    int i = 0;
    for (const auto& value : awkward) {
        const std::string name = "Value" + std::to_string(i++);
        ASSERT_TRUE(WriteSetting(name, value)) << name;
        EXPECT_EQ(ReadSetting(name), value) << name;
    }
    // Every value survives the others being written after it.
    i = 0;
    for (const auto& value : awkward) EXPECT_EQ(ReadSetting("Value" + std::to_string(i++)), value);
    EXPECT_FALSE(ReadDwordValue(TSettingsHive::Machine, MorvantaKey, "Value4"))
        << "a string that looks like a DWORD stays a string";
}

TEST_F(SettingsTest, KeysAndNamesIgnoreCaseButKeepTheirSpelling) {
    ASSERT_TRUE(
        WriteStringValue(TSettingsHive::Machine, "SOFTWARE\\Tavrell\\Morvanta", "LastFCC", "XVID"));
    EXPECT_EQ(ReadStringValue(TSettingsHive::Machine, "software\\tavrell\\MORVANTA", "lastfcc"),
              "XVID");
    ASSERT_TRUE(
        WriteStringValue(TSettingsHive::Machine, "Software\\TAVRELL\\morvanta", "LASTFCC", "H264"));
    EXPECT_EQ(ReadSetting("LastFcc"), "H264");

    const std::string text = ReadText(MachineFile());
    EXPECT_NE(text.find("[SOFTWARE\\Tavrell\\Morvanta]\n"), std::string::npos) << text;
    EXPECT_NE(text.find("LastFCC=H264\n"), std::string::npos) << "first spelling kept:\n" << text;
    EXPECT_EQ(text.find("LASTFCC"), std::string::npos) << text;
    EXPECT_EQ(text.find("[Software"), std::string::npos) << "one section per key:\n" << text;
}

TEST_F(SettingsTest, DwordsAndHivesAreKeptApart) {
    ASSERT_TRUE(WriteDwordValue(TSettingsHive::User, MorvantaKey, "langue", 0x040C));
    ASSERT_TRUE(WriteDwordValue(TSettingsHive::User, MorvantaKey, "Big", 0xFFFFFFFFu));
    EXPECT_EQ(ReadDwordValue(TSettingsHive::User, MorvantaKey, "LANGUE"), 0x040Cu);
    EXPECT_EQ(ReadDwordValue(TSettingsHive::User, MorvantaKey, "big"), 0xFFFFFFFFu);
    EXPECT_FALSE(ReadStringValue(TSettingsHive::User, MorvantaKey, "langue"))
        << "a DWORD is not a string";
    EXPECT_FALSE(ReadDwordValue(TSettingsHive::Machine, MorvantaKey, "langue"))
        << "the machine hive is another file";
    EXPECT_NE(ReadText(dir_.File("config") + "/user.ini").find("langue=dword:0000040c"),
              std::string::npos);

    // Writing the other kind under the same name replaces the value.
    ASSERT_TRUE(WriteStringValue(TSettingsHive::User, MorvantaKey, "Langue", "fr"));
    EXPECT_FALSE(ReadDwordValue(TSettingsHive::User, MorvantaKey, "langue"));
    EXPECT_EQ(ReadStringValue(TSettingsHive::User, MorvantaKey, "langue"), "fr");
}

TEST_F(SettingsTest, TwoProcessesWritingAtOnceLoseNothing) {
    constexpr int PerProcess = 150;
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            bool ok = true;
            for (int i = 0; i < PerProcess; ++i)
                ok = WriteSetting("P" + std::to_string(c) + "_" + std::to_string(i),
                                  std::to_string(i * 7 + c)) &&
                     ok;
            _exit(ok ? 0 : 1);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a write failed";
    }
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < PerProcess; ++i)
            ASSERT_EQ(ReadSetting("P" + std::to_string(c) + "_" + std::to_string(i)),
                      std::to_string(i * 7 + c))
                << "process " << c << " value " << i;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.File("config"))) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "machine.ini" || name == "machine.ini.lock") << "left behind: " << name;
    }
}

TEST_F(SettingsTest, FolderThatCannotBeCreatedReadsEmptyAndRefusesWrites) {
    test::WriteText(dir_.File("plain-file"), "not a folder");
    UseFolder(dir_.File("plain-file") + "/config");
    EXPECT_FALSE(WriteSetting("LastFCC", "xvid"));
    EXPECT_EQ(ReadSetting("LastFCC"), "");
    EXPECT_FALSE(WriteDwordValue(TSettingsHive::User, MorvantaKey, "langue", 1));
    EXPECT_FALSE(ReadDwordValue(TSettingsHive::User, MorvantaKey, "langue"));
}

TEST_F(SettingsTest, ReadOnlyFolderKeepsItsValues) {
    if (geteuid() == 0) GTEST_SKIP() << "root ignores permission bits";
    ASSERT_TRUE(WriteSetting("LastFCC", "FFV1"));
    std::filesystem::permissions(dir_.File("config"), std::filesystem::perms::owner_read |
                                                          std::filesystem::perms::owner_exec);
    EXPECT_FALSE(WriteSetting("LastFCC", "xvid"));
    EXPECT_EQ(ReadSetting("LastFCC"), "FFV1");
}

TEST_F(SettingsTest, MalformedFilesAreReadWithoutHarm) {
    std::filesystem::create_directories(dir_.File("config"));
    static const char text[] = "garbage before any section\n"
                               "[SOFTWARE\\Tavrell\\Morvanta\n"
                               "Lost=in a broken section\n"
                               "[software\\tavrell\\morvanta]\r\n"
                               "no equals sign\n"
                               "Bad=dword:xyz\n"
                               "TooLong=dword:123456789\n"
                               "; a comment\n"
                               "LastFCC=first\n"
                               "\0\xff\xfe=odd bytes\n"
                               "lastfcc=second\r\n"
                               "Trailing=\\";
    test::WriteText(MachineFile(), std::string(text, sizeof text - 1));
    EXPECT_EQ(ReadSetting("LastFCC"), "second") << "the later line wins";
    EXPECT_EQ(ReadSetting("Lost"), "");
    EXPECT_EQ(ReadSetting("Bad"), "");
    EXPECT_FALSE(ReadDwordValue(TSettingsHive::Machine, MorvantaKey, "TooLong"));
    EXPECT_EQ(ReadSetting("Trailing"), "\\");

    // A write keeps what could be read and drops the garbage.
    ASSERT_TRUE(WriteSetting("OutPath", "/videos/"));
    EXPECT_EQ(ReadSetting("LastFCC"), "second");
    EXPECT_EQ(ReadSetting("OutPath"), "/videos/");
    EXPECT_EQ(ReadText(MachineFile()).find("garbage"), std::string::npos);
}

TEST_F(SettingsTest, OversizedFileIsNeitherReadNorReplaced) {
    std::filesystem::create_directories(dir_.File("config"));
    std::string huge = "[SOFTWARE\\Tavrell\\Morvanta]\nLastFCC=xvid\n";
    huge.resize(SettingsMaxFileBytes + 1, '#');
    test::WriteText(MachineFile(), huge);
    EXPECT_EQ(ReadSetting("LastFCC"), "");
    EXPECT_FALSE(WriteSetting("LastFCC", "H264"));
    EXPECT_EQ(std::filesystem::file_size(MachineFile()), SettingsMaxFileBytes + 1);

    EXPECT_FALSE(WriteSetting("Long", std::string(SettingsMaxLineBytes, 'a')))
        << "a value that could not be read back is refused";
    EXPECT_FALSE(WriteStringValue(TSettingsHive::User, "bad\nkey", "x", "y"));
    EXPECT_FALSE(WriteStringValue(TSettingsHive::User, "", "x", "y"));
}

TEST(SettingsText, ParseAndFormatAgree) {
    TSettingsDocument document;
    document.Put("Key\\One", "=;[odd name") = TSettingsValue{"=;[odd name", false, "v\n1", 0};
    document.Put("Key\\One", "count") = TSettingsValue{"count", true, "", 42};
    document.Put("Key\\Two", "") = TSettingsValue{"", false, "default value", 0};
    const TSettingsDocument back = ParseSettings(FormatSettings(document));
    ASSERT_EQ(back.Sections.size(), 2u);
    ASSERT_NE(back.Find("key\\one", "=;[ODD NAME"), nullptr);
    EXPECT_EQ(back.Find("key\\one", "=;[ODD NAME")->Text, "v\n1");
    ASSERT_NE(back.Find("KEY\\ONE", "Count"), nullptr);
    EXPECT_TRUE(back.Find("KEY\\ONE", "Count")->IsDword);
    EXPECT_EQ(back.Find("KEY\\ONE", "Count")->Dword, 42u);
    ASSERT_NE(back.Find("key\\two", ""), nullptr);
    EXPECT_EQ(back.Find("key\\two", "")->Text, "default value");
    EXPECT_EQ(FormatSettings(back), FormatSettings(document));
}

TEST(SettingsText, AnyBytesParseAndSurviveARewrite) {
    // What a write makes of a damaged file must read back as what was read from it.
    std::mt19937 random(12345);
    const std::string alphabet = "[]=\\\r\n;#dword:0aZx \t\x01\xff";
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(random() % 200, '\0');
        for (char& c : bytes) c = alphabet[random() % alphabet.size()];
        const std::string once = FormatSettings(ParseSettings(bytes));
        EXPECT_EQ(FormatSettings(ParseSettings(once)), once) << "input: " << bytes;
    }
}
