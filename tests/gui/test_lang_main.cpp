// The shipped translations on the whole program: a switch in Settings re-applies the caption,
// reaches every form and the next message; each translation leaves no English text behind and
// never touches the user's data; the English file brings every text back.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <map>
#include <set>

#include "MainDlgFixture.h"
#include "app/U_AboutDlg.h"
#include "app/U_CodecConfigDlg.h"
#include "app/U_SettingsDlg.h"
#include "lang/U_LangList.h"
#include "lang/U_LangText.h"
#include "lang/U_LanguageChoice.h"
#include "lang/U_TextStorage.h"
#include "platform/os/U_Settings.h"

namespace {

namespace fs = std::filesystem;
using guitest::TMainDlgTest;

// What each component shows: caption, hint and items, one text each.
std::map<QString, QStringList> Texts(const TLangList& langue) {
    std::map<QString, QStringList> texts;
    for (const TLangComponent& c : langue.ListComponents()) {
        QStringList& t = texts[c.Path];
        t << ComponentCaption(c).value_or("") << ComponentHint(c).value_or("");
        t << ComponentItems(c).value_or(QStringList());
    }
    return texts;
}

// The (path, text slot) pairs a language file lists: slot 0 caption, 1 hint, 2 + j item j.
std::set<std::pair<QString, int>> ListedTexts(const std::string& file) {
    const std::vector<TRawRecord> records = ReadLanguageRecords(file);
    std::set<std::pair<QString, int>> found;
    for (std::size_t i = 14; i + 5 <= records.size(); i += 5) {
        const QString path = QString::fromStdString(records[i].Payload);
        if (records[i + 2].Key) found.emplace(path, 0);
        if (records[i + 3].Key) found.emplace(path, 1);
        for (std::size_t j = 0; j < SplitLines(records[i + 4].Payload).size(); ++j)
            found.emplace(path, 2 + static_cast<int>(j));
    }
    return found;
}

// Texts that are the same word in a language (names, symbols, shared words).
const std::map<std::uint16_t, std::set<QString>> SameInLanguage = {
    {0x040C,
     {"<", ">", "?", "Photos", "Options", "Codecs", "DVD", "unused", "Version :", "AAC", "MP3",
      "Opus"}},
    {0x0407, {"<", ">", "?", "Codecs", "Sepia", "DVD", "unused", "AAC", "MP3", "Opus"}},
    {0x040A, {"<", ">", "?", "Sepia", "DVD", "unused", "AAC", "MP3", "Opus"}},
};

class LangMainTest : public TMainDlgTest {
protected:
    LangMainTest() {
        // The shipped language files are built beside the program.
        const fs::path built = fs::path(MORVANTA_EXE).parent_path();
        for (const auto& f : fs::directory_iterator(built))
            if (f.path().extension() == ".SPK" &&
                f.path().filename().string().rfind("MRV_0", 0) == 0)
                fs::copy_file(f.path(), fs::path(ExeFolder) / f.path().filename());
        WriteDwordValue(TSettingsHive::User, "Software\\Tavrell\\Morvanta", "langue", 0x0409);
    }
    TLanguageChoice& Choice() {
        return *qobject_cast<TLanguageChoice*>(W().Forms.SettingsDlg->lng);
    }
    int IndexOf(std::uint16_t id) {
        const auto& languages = W().langue->Languages();
        for (std::size_t i = 0; i < languages.size(); ++i)
            if ((languages[i].Key & 0xFFFF) == id) return static_cast<int>(i);
        return -1;
    }
};

TEST_F(LangMainTest, SwitchInSettingsReachesCaptionFormsAndLaterMessages) {
    Start();
    const QString caption = W().windowTitle();
    ASSERT_TRUE(caption.startsWith("Morvanta v"));
    ASSERT_EQ(W().langue->CurrentLanguageName().empty(), false);
    const int french = IndexOf(0x040C);
    ASSERT_GE(french, 0);
    ASSERT_EQ(Choice().count(), static_cast<int>(W().langue->Languages().size()));
    // Each shipped language has its small icon.
    for (const auto& language : W().langue->Languages())
        EXPECT_EQ(LanguageIcon(language.Path).size(), QSize(24, 16)) << language.DisplayName;

    Choice().Choose(french);
    EXPECT_EQ(W().windowTitle(), caption); // the caption is set again after the switch
    EXPECT_EQ(Choice().currentRow(), french);
    EXPECT_EQ(Choice().Header()->text().toStdString(), W().langue->CurrentLanguageName());
    EXPECT_NE(W().go_btn->text(), "Go !");
    EXPECT_NE(W().Forms.SettingsDlg->windowTitle(), "Settings");
    EXPECT_EQ(ReadDwordValue(TSettingsHive::User, "Software\\Tavrell\\Morvanta", "langue"),
              0x040Cu);

    // A message shown after the switch comes out in French.
    W().go_btnClick();
    ASSERT_FALSE(Shell.Boxes.empty());
    EXPECT_EQ(Shell.Boxes.back().Text, "La liste des images est vide");
    EXPECT_EQ(W().Forms.AboutDlg->about_ts.TranslateText("Version :"), "Version :");
    EXPECT_EQ(W().Forms.AboutDlg->about_ts.TranslateText("Application Name :"),
              "Nom de l'application :");

    // A form made later, while in use, shows in the language applied.
    TCodecConfigDlg later(&W());
    EXPECT_EQ(later.default_btn->text(), "Defaults");
    later.show();
    EXPECT_EQ(later.default_btn->text(), "Par défaut");
    EXPECT_EQ(later.windowTitle(), "Configuration du codec");
    later.hide();
}

TEST_F(LangMainTest, EachTranslationReplacesEveryEnglishTextAndNoUserData) {
    Start();
    W().sound_txt->setText("/music/song.mp3");
    W().out_txt->setText("/videos/out.avi");
    W().prog_lbl->setText("Processing Video");
    W().audioduration_lbl->setText("3:05");
    W().SetStatusText(0, "3 pictures");
    const QStringList codecs = [&] {
        QStringList l;
        for (int i = 0; i < W().codecs_cmb->count(); ++i) l << W().codecs_cmb->itemText(i);
        return l;
    }();
    const auto english = Texts(*W().langue);
    // The English file lists what the reference lists, with the program's own texts.
    const auto listed = ListedTexts(ExeFolder + "/MRV_00000409.SPK");
    ASSERT_GT(listed.size(), 80u);

    for (const auto& [id, same] : SameInLanguage) {
        SCOPED_TRACE(id);
        const int index = IndexOf(id);
        ASSERT_GE(index, 0);
        Choice().Choose(index);
        const auto translated = Texts(*W().langue);
        for (const auto& [path, texts] : english) {
            const QStringList& now = translated.at(path);
            ASSERT_EQ(now.size(), texts.size()) << path.toStdString();
            for (qsizetype k = 0; k < texts.size(); ++k) {
                const bool mayStay =
                    !listed.contains({path, static_cast<int>(k)}) || same.contains(texts[k]);
                EXPECT_TRUE(mayStay || now[k] != texts[k])
                    << path.toStdString() << " still English: " << texts[k].toStdString();
            }
        }
        EXPECT_EQ(W().sound_txt->text(), "/music/song.mp3");
        EXPECT_EQ(W().out_txt->text(), "/videos/out.avi");
        EXPECT_EQ(W().prog_lbl->text(), "Processing Video");
        EXPECT_EQ(W().audioduration_lbl->text(), "3:05");
        EXPECT_EQ(W().StatusPanels[0]->text(), "3 pictures");
        for (int i = 0; i < codecs.size(); ++i) {
            EXPECT_EQ(W().codecs_cmb->itemText(i), codecs[i]);
        }
    }

    // English brings every listed text back.
    Choice().Choose(IndexOf(0x0409));
    const auto back = Texts(*W().langue);
    for (const auto& [path, slot] : listed) {
        if (!english.contains(path)) continue; // a form made only while in use
        EXPECT_EQ(back.at(path).value(slot), english.at(path).value(slot)) << path.toStdString();
    }
}

} // namespace
