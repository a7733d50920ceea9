// The language packs on real widgets: finding files, choosing one, applying its records to
// the components by path, refusing what it cannot read, and surviving damaged files.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <chrono>
#include <memory>

#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "lang/U_LangFile.h"
#include "lang/U_LangList.h"
#include "lang/U_LangText.h"
#include "lang/U_LanguageTable.h"
#include "lang/U_Storefile.h"
#include "lang/U_TextStorage.h"
#include "platform/os/U_Settings.h"

namespace {

struct TEntry {
    TEntry(std::string path, std::int32_t captionKey, std::string caption, std::int32_t hintKey = 0,
           std::string hint = {}, std::int32_t itemsKey = 0, std::string items = {})
        : Path(std::move(path)), CaptionKey(captionKey), Caption(std::move(caption)),
          HintKey(hintKey), Hint(std::move(hint)), ItemsKey(itemsKey), Items(std::move(items)) {}
    std::string Path;
    std::int32_t CaptionKey;
    std::string Caption;
    std::int32_t HintKey;
    std::string Hint;
    std::int32_t ItemsKey;
    std::string Items;
};

struct THeader {
    std::uint16_t Id = 0x040C;
    std::uint16_t Revision = 4;
    std::string Header1 = "Français", Header2 = "Langue : français", Header3 = "France";
    std::uint32_t Version = 0;
    std::string Font;
};

THeader Header(std::uint16_t id, std::string header2, std::uint16_t revision = 4,
               std::string font = {}) {
    THeader h;
    h.Id = id;
    h.Header2 = std::move(header2);
    h.Revision = revision;
    h.Font = std::move(font);
    return h;
}

// A language file in the layout of `revision` (1 to 5; 5 is laid out as 4).
void WriteLanguage(const std::string& path, const THeader& h, const std::vector<TEntry>& entries) {
    TStorefile s;
    s.Signature = std::string(LanguageFileSignature);
    s.Filename = path;
    ASSERT_TRUE(s.Open());
    s.AppendInteger(0, static_cast<std::int32_t>((std::uint32_t{h.Revision} << 16) | h.Id));
    s.AppendString(1, h.Header1);
    s.AppendString(2, h.Header2);
    s.AppendString(3, h.Header3);
    s.AppendString(4, "");
    s.AppendString(5, "");
    s.AppendInteger(512, static_cast<std::int32_t>(h.Version));
    if (h.Revision >= 2) {
        s.AppendInteger(516, 0);
        s.AppendString(517, "");
        s.AppendString(518, "");
    }
    s.AppendString(513, "");
    s.AppendString(514, h.Font);
    s.AppendInteger(515, 1);
    if (h.Revision >= 4) s.AppendInteger(516, 8);
    for (const TEntry& e : entries) {
        s.AppendString(531, e.Path);
        if (h.Revision >= 3) s.AppendInteger(768, 0);
        s.AppendString(e.CaptionKey, e.Caption);
        s.AppendString(e.HintKey, e.Hint);
        s.AppendString(e.ItemsKey, e.Items);
    }
}

// A small form with the kinds of components the windows have, nested in a group box.
class TTestDlg : public QDialog {
public:
    TTestDlg() {
        setObjectName("TestDlg");
        setWindowTitle("Test");
        go_btn = new QPushButton("Go !", this);
        go_btn->setObjectName("go_btn");
        auto* group = new QGroupBox("Group", this);
        group->setObjectName("grp");
        lbl = new QLabel("Inner", group);
        lbl->setObjectName("lbl");
        cmb = new QComboBox(group);
        cmb->setObjectName("cmb");
        cmb->addItems({"a", "b", "c", "d", "e"});
        cmb->setCurrentIndex(4);
        lst = new QListWidget(this);
        lst->setObjectName("lst");
        lst->addItems({"one", "two", "three", "four", "five"});
        lst->setCurrentRow(3);
        data_lbl = new QLabel("C:/user/data.avi", this);
        data_lbl->setObjectName("data_lbl");
    }
    QPushButton* go_btn;
    QLabel* lbl;
    QComboBox* cmb;
    QListWidget* lst;
    QLabel* data_lbl;
};

class LangPacksTest : public ::testing::Test {
protected:
    LangPacksTest() {
        Folder = Dir.File("lang") + "/";
        std::filesystem::create_directories(Folder);
        setenv("MORVANTA_CONFIG_DIR", Dir.File("config").c_str(), 1);
        Langue = std::make_unique<TLangList>(nullptr, Dir.File("bin/morvanta"));
        Langue->setObjectName("langue");
        Langue->FilePrefix = "MRV_";
        Langue->RegKey = "Software\\Tavrell\\Morvanta";
        Langue->Folders = {Folder};
        Langue->AddForm(&Form);
        Langue->AddTextStorage(&Form, "ts", &Storage);
        Langue->AddExcluded("data_lbl");
    }
    std::string File(std::uint32_t key) const { return LanguageFileName(Folder, "MRV_", key); }
    std::vector<std::uint32_t> Keys() const {
        std::vector<std::uint32_t> keys;
        for (const auto& l : Langue->Languages()) keys.push_back(l.Key);
        return keys;
    }

    test::TempDir Dir;
    std::string Folder;
    TTestDlg Form;
    TTextStorage Storage{{"Empty picture list", "Invalid output file", "pictures"}};
    std::unique_ptr<TLangList> Langue;
    guitest::TShellRecorder Shell;
};

TEST_F(LangPacksTest, ScanFindsVariantsUpToTheFirstMissingOne) {
    struct TCase {
        std::vector<std::uint32_t> Present;
        std::vector<std::uint32_t> Listed;
    };
    const std::vector<TCase> cases = {
        {{0x040C, 0x1040C}, {0x040C, 0x1040C}},
        {{0x040C, 0x2040C}, {0x040C}},
        {{0x040C, 0x1040C, 0x2040C}, {0x040C, 0x1040C, 0x2040C}},
        {{0x1040C}, {}},
        // Listed in the table's order (by English name), not in the order found.
        {{0x0407, 0x040C}, {0x040C, 0x0407}},
    };
    for (const TCase& c : cases) {
        std::filesystem::remove_all(Folder);
        std::filesystem::create_directories(Folder);
        for (std::uint32_t key : c.Present) WriteLanguage(File(key), {}, {});
        EXPECT_EQ(Langue->ScanLanguages(), !c.Listed.empty());
        EXPECT_EQ(Keys(), c.Listed);
    }
}

TEST_F(LangPacksTest, DisplayNameCarriesThePackedVersion) {
    THeader h;
    h.Header1 = "F";
    h.Header3 = "X";
    h.Version = (1u << 24) | (2u << 16) | (3u << 10) | 5u;
    WriteLanguage(File(0x040C), h, {});
    ASSERT_TRUE(Langue->ScanLanguages());
    EXPECT_EQ(Langue->Languages()[0].DisplayName, "F [1.2.3.5] - X");
}

TEST_F(LangPacksTest, ChoosesByStoredKeyElseByUserLanguage) {
    WriteLanguage(File(0x0407), Header(0x0407, "Deutsch"), {});
    WriteLanguage(File(0x040C), Header(0x040C, "Français 1"), {});
    WriteLanguage(File(0x1040C), Header(0x040C, "Français 2"), {});
    Langue->ScanLanguages();

    // No stored choice: Austrian German finds the German file through the primary language.
    Langue->SelectUserDefault(LangIdFromLocale("de_AT.UTF-8"));
    EXPECT_EQ(Langue->CurrentLanguageName(), "Deutsch");
    EXPECT_EQ(ReadDwordValue(TSettingsHive::User, Langue->RegKey, "langue"), 0x0407u);

    WriteDwordValue(TSettingsHive::User, Langue->RegKey, "langue", (1u << 16) | 0x040C);
    Langue->RestoreLanguage();
    EXPECT_EQ(Langue->CurrentLanguageName(), "Français 2");

    // Without the second French file the same choice falls back to the first.
    std::filesystem::remove(File(0x1040C));
    Langue->ScanLanguages();
    WriteDwordValue(TSettingsHive::User, Langue->RegKey, "langue", (1u << 16) | 0x040C);
    Langue->RestoreLanguage();
    EXPECT_EQ(Langue->CurrentLanguageName(), "Français 1");

    // A stored language without a file applies nothing, not even the user's language.
    WriteDwordValue(TSettingsHive::User, Langue->RegKey, "langue", 0x0410);
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    Langue->RestoreLanguage();
    unsetenv("LC_ALL");
    EXPECT_EQ(Langue->CurrentLanguageName(), "Français 1");
}

TEST_F(LangPacksTest, AppliesOnlyTextsMarkedTranslatedByPath) {
    WriteLanguage(File(0x040C), {},
                  {{"TestDlg", 0x21, "Essai"},
                   {"testdlg.GO_BTN", 0x21, "Allez !", 0x32, "Lancer"},
                   {"TestDlg.lbl", 0x01, "Pas appliqué", 0x02, "Pas appliqué"},
                   {"TestDlg.grp", 0x21, "Groupe"},
                   {"TestDlg.cmb", 0, "", 0, "", 0x23, "A\r\nB\r\nC\r\n"},
                   {"TestDlg.lst", 0, "", 0, "", 0x23, "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n"},
                   {"TestDlg.ts", 0, "", 0, "", 0x23, "Liste vide\r\nunused\r\n"},
                   {"TestDlg.data_lbl", 0x21, "écrasé"},
                   {"TestDlg.nothing", 0x21, "nobody"}});
    ASSERT_TRUE(Langue->ApplyLanguageFile(File(0x040C)));
    EXPECT_EQ(Form.windowTitle(), "Essai");
    EXPECT_EQ(Form.go_btn->text(), "Allez !"); // paths match without regard to case
    EXPECT_EQ(Form.go_btn->toolTip(), "Lancer");
    EXPECT_EQ(Form.lbl->text(), "Inner"); // 0x01: not marked translated
    EXPECT_EQ(Form.lbl->toolTip(), "");
    EXPECT_EQ(Form.findChild<QGroupBox*>("grp")->title(), "Groupe");
    const QStringList combo = {Form.cmb->itemText(0), Form.cmb->itemText(1), Form.cmb->itemText(2),
                               Form.cmb->itemText(3), Form.cmb->itemText(4)};
    EXPECT_EQ(combo, QStringList({"A", "B", "C", "d", "e"}));
    EXPECT_EQ(Form.cmb->currentIndex(), 4);
    EXPECT_EQ(Form.lst->count(), 5); // extra lines are ignored
    EXPECT_EQ(Form.lst->item(4)->text(), "5");
    EXPECT_EQ(Form.lst->currentRow(), 3);
    EXPECT_EQ(Form.data_lbl->text(), "C:/user/data.avi"); // excluded
    EXPECT_EQ(Storage.TranslateText("EMPTY PICTURE LIST"), "Liste vide");
    EXPECT_EQ(Storage.TranslateText("Invalid output file"), "Invalid output file"); // "unused"
    EXPECT_EQ(Storage.TranslateText("pictures"), "pictures");                       // no line
}

TEST_F(LangPacksTest, HintWithoutShowFlagIsKeptButNotShown) {
    WriteLanguage(File(0x040C), {}, {{"TestDlg.go_btn", 0, "", 0x22, "Caché"}});
    ASSERT_TRUE(Langue->ApplyLanguageFile(File(0x040C)));
    EXPECT_EQ(Form.go_btn->toolTip(), "");
    // The reference writer still sees the hint, as not shown.
    const auto components = Langue->ListComponents();
    const auto go = std::find_if(components.begin(), components.end(), [](const TLangComponent& c) {
        return c.Path == "TestDlg.go_btn";
    });
    ASSERT_NE(go, components.end());
    EXPECT_EQ(ComponentHint(*go), QString("Caché"));
    EXPECT_FALSE(ComponentShowHint(*go));
}

TEST_F(LangPacksTest, NewerRevisionIsRefusedBeforeAnyChange) {
    WriteLanguage(File(0x040C), Header(0x040C, "", 5, "Serif"), {{"TestDlg.go_btn", 0x21, "Non"}});
    Langue->ScanLanguages();
    int after = 0;
    Langue->AfterLanguageSwitch = [&] { ++after; };
    Langue->SetLanguageIndex(0);
    EXPECT_EQ(Form.go_btn->text(), "Go !");
    EXPECT_EQ(Form.go_btn->font().family(), Form.font().family());
    EXPECT_EQ(after, 0);
    ASSERT_EQ(Shell.Boxes.size(), 1u);
    EXPECT_EQ(Shell.Boxes[0].Text, "Format not supported in this revision");
    // The choice was stored all the same.
    EXPECT_EQ(ReadDwordValue(TSettingsHive::User, Langue->RegKey, "langue"), 0x040Cu);
}

TEST_F(LangPacksTest, FontFollowsTheFileOnlyWhereItIsTheMainFormsFace) {
    Form.lbl->setFont(QFont("Symbol Face", 6));
    WriteLanguage(File(0x040C), Header(0x040C, "", 4, "Replacement Face"), {});
    ASSERT_TRUE(Langue->ApplyLanguageFile(File(0x040C)));
    EXPECT_EQ(Form.go_btn->font().family(), "Replacement Face");
    EXPECT_EQ(Form.lbl->font().family(), "Symbol Face");
    EXPECT_EQ(Form.lbl->font().pointSize(), 8); // raised to the file's minimum size
}

TEST_F(LangPacksTest, VetoedSwitchChangesNothing) {
    WriteLanguage(File(0x040C), {}, {{"TestDlg.go_btn", 0x21, "Allez !"}});
    Langue->ScanLanguages();
    std::vector<std::pair<std::uint32_t, std::uint32_t>> asked;
    Langue->BeforeLanguageSwitch = [&](std::uint32_t from, std::uint32_t to) {
        asked.emplace_back(from, to);
        return false;
    };
    Langue->SetLanguageIndex(0);
    Langue->SetLanguageIndex(7); // outside the list: not even asked
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_EQ(Form.go_btn->text(), "Go !");
    EXPECT_FALSE(ReadDwordValue(TSettingsHive::User, Langue->RegKey, "langue").has_value());
}

// Damaged files: each is refused or applied as far as it reads, quickly, without a crash.
TEST_F(LangPacksTest, DamagedFilesFailOrStopCleanly) {
    const std::string good = File(0x040C);
    WriteLanguage(good, {}, {{"TestDlg.go_btn", 0x21, "Allez !"}, {"TestDlg.lbl", 0x21, "Dedans"}});
    const std::vector<std::uint8_t> bytes = test::ReadFile(good);
    const auto patched = [&](std::size_t at, std::uint32_t value) {
        std::vector<std::uint8_t> b = bytes;
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        return b;
    };
    const std::size_t lastTrailer = bytes.size() - 4;
    std::vector<std::uint8_t> tiny(bytes.begin(), bytes.begin() + 21);
    for (int i = 0; i < 1000000; ++i) {
        const std::uint8_t record[12] = {8, 0, 0, 0, 1, 0, 0, 0, 12, 0, 0, 0};
        tiny.insert(tiny.end(), record, record + 12);
    }
    const std::vector<std::vector<std::uint8_t>> damaged = {
        std::vector<std::uint8_t>(bytes.begin(), bytes.end() - 7), // truncated record
        patched(21, 0x7FFFFFF0),                                   // first length far outside
        patched(lastTrailer, 0xFFFFFFF0),                          // backward length outside
        patched(17, 0x7FFFFFFF),                                   // a count that lies
        patched(17, 2),                                            // too few records claimed
        std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 30),
        tiny, // a million tiny records
    };
    for (std::size_t i = 0; i < damaged.size(); ++i) {
        SCOPED_TRACE(i);
        const std::string path = Dir.File("damaged" + std::to_string(i) + ".SPK");
        test::WriteFile(path, damaged[i]);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_NO_THROW(Langue->ApplyLanguageFile(path));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_EQ(test::ReadFile(path), damaged[i]); // a read never writes
    }
}

} // namespace

namespace {

TEST_F(LangPacksTest, ReferenceListsEveryTextOfferedWithItsEnglishText) {
    Form.go_btn->setToolTip("Start");
    auto* blank = new QPushButton("  ", &Form);
    blank->setObjectName("blank_btn");
    const std::string path = Langue->WriteReferenceFile((1u << 24) | 5u);
    EXPECT_EQ(path, Folder + "MRV_ORIGINAL.SPK");
    const std::vector<TRawRecord> records = ReadLanguageRecords(path);
    ASSERT_EQ((records.size() - 14) % 5, 0u);
    EXPECT_EQ(records[6].Payload, std::string("\5\0\0\1", 4)); // the version given

    struct TExpected {
        std::string Path;
        std::int32_t PathKey, CaptionKey;
        std::string Caption;
        std::int32_t HintKey;
        std::string Hint;
        std::int32_t ItemsKey;
        std::string Items;
    };
    const std::vector<TExpected> expected = {
        {"TestDlg", 529, 1, "Test", 0, "", 0, ""},
        {"TestDlg.go_btn", 530, 1, "Go !", 18, "Start", 0, ""},
        {"TestDlg.grp", 529, 1, "Group", 0, "", 0, ""},
        {"TestDlg.lbl", 529, 1, "Inner", 0, "", 0, ""},
        {"TestDlg.cmb", 529, 0, "", 0, "", 3, "a\r\nb\r\nc\r\nd\r\ne\r\n"},
        {"TestDlg.lst", 529, 0, "", 0, "", 3, "one\r\ntwo\r\nthree\r\nfour\r\nfive\r\n"},
        {"TestDlg.ts", 529, 0, "", 0, "", 3,
         "Empty picture list\r\nInvalid output file\r\npictures\r\n"},
    };
    ASSERT_EQ(records.size(), 14 + 5 * expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const TExpected& e = expected[i];
        const TRawRecord* r = &records[14 + 5 * i];
        EXPECT_EQ(r[0].Payload, e.Path);
        EXPECT_EQ(r[0].Key, e.PathKey) << e.Path;
        EXPECT_EQ(r[1].Key, LangKeyAlignment);
        EXPECT_EQ(r[2], (TRawRecord{e.CaptionKey, e.Caption})) << e.Path;
        EXPECT_EQ(r[3], (TRawRecord{e.HintKey, e.Hint})) << e.Path;
        EXPECT_EQ(r[4], (TRawRecord{e.ItemsKey, e.Items})) << e.Path;
    }

    // Where the folder cannot take it, the file goes to the current folder.
    Langue->Folders = {Dir.File("missing") + "/"};
    EXPECT_EQ(Langue->ReferenceFileName(),
              std::filesystem::current_path().string() + "/MRV_ORIGINAL.SPK");
}

TEST_F(LangPacksTest, RevisionZeroAppliesEveryNonEmptyTextByEntryKind) {
    TStorefile s;
    s.Signature = std::string(LanguageFileSignature);
    s.Filename = File(0x040C);
    ASSERT_TRUE(s.Open());
    s.AppendString(0, std::string("\x0C\x04", 2)); // 2 bytes: revision 0
    for (int key = 1; key <= 5; ++key) s.AppendString(key, "");
    s.AppendString(7, "TestDlg.go_btn"); // caption and hint
    s.AppendString(0, "Allez !");
    s.AppendString(0, "");
    s.AppendString(12, "TestDlg.cmb"); // items only
    s.AppendString(0, "A\r\nB\r\n");
    s.AppendString(13, "TestDlg.unknown"); // skipped with its two records
    s.AppendString(1, "x");
    s.AppendString(2, "y");
    s.AppendString(7, "TestDlg.lbl");
    s.AppendString(0, "");
    s.AppendString(0, "Astuce");
    s.Close();
    ASSERT_TRUE(Langue->ApplyLanguageFile(File(0x040C)));
    EXPECT_EQ(Form.go_btn->text(), "Allez !");
    EXPECT_EQ(Form.go_btn->toolTip(), ""); // an empty hint is not applied
    EXPECT_EQ(Form.cmb->itemText(1), "B");
    EXPECT_EQ(Form.cmb->itemText(2), "c");
    EXPECT_EQ(Form.lbl->text(), "Inner");
    EXPECT_EQ(Form.lbl->toolTip(), "Astuce");
}

} // namespace
