#include "lang/U_MainLanguages.h"

#include "after/U_BurnDlg.h"
#include "after/U_ProcessSuccessDlg.h"
#include "app/U_AboutDlg.h"
#include "app/U_CodecAboutDlg.h"
#include "app/U_CodecConfigDlg.h"
#include "app/U_ExpertDlg.h"
#include "app/U_MainDlg.h"
#include "app/U_SettingsDlg.h"
#include "lang/U_LangList.h"
#include "lang/U_LanguageChoice.h"
#include "lang/U_TextStorage.h"
#include "pictures/U_JumpDlg.h"
#include "pictures/U_LoaderDlg.h"
#include "pictures/U_ReorderDlg.h"

namespace {

// Controls whose text is the user's data or the machine's state: no language file may
// rewrite a codec entry, a path, a progress text, a caption or time being edited, an installed
// font's name, a colour's value or a thumbnail's tool tip (its file and time).
constexpr const char* ExcludedComps[] = {
    "codecs_cmb",
    "sound_txt",
    "out_txt",
    "audioduration_lbl",
    "prog_lbl",
    "thumbstats_lbl",
    "StatusBar",
    "StatusPanel0",
    "StatusPanel1",
    "ReorderDlg.lst",
    "ReorderDlg.txt",
    "ReorderDlg.ptime_txt",
    "ExpertDlg.font_cmb",
    "ExpertDlg.colour_btn",
    "ThumbSlot0",
    "ThumbSlot1",
    "ThumbSlot2",
    "ThumbSlot3",
    "ThumbSlot4",
    "lng",
    "lng_header",
    "CodecAboutDlg",
    "CodecAboutDlg.name_lbl",
    "CodecAboutDlg.encoder_lbl",
    "CodecAboutDlg.version_lbl",
    "CodecAboutDlg.licence_lbl",
    "AboutDlg.appname_lbl",
    "AboutDlg.version_lbl",
};

} // namespace

TLangList* SetUpLanguages(TMainDlg& main) {
    auto* langue = new TLangList(&main, main.ExecutableFile());
    langue->setObjectName("langue");
    langue->FilePrefix = "MRV_";
    langue->RegKey = "Software\\Tavrell\\Morvanta";
    for (const char* name : ExcludedComps) langue->AddExcluded(name);
    const TMainForms& f = main.Forms;
    langue->AddForm(&main);
    for (QWidget* form : std::initializer_list<QWidget*>{f.AboutDlg, f.JumpDlg, f.ReorderDlg,
                                                         f.LoaderDlg, f.SettingsDlg, f.ExpertDlg,
                                                         f.ProcessSuccessDlg, f.BurnDlg})
        langue->AddForm(form);
    langue->AddTextStorage(&main, "main_ts", main.main_ts.get());
    if (f.AboutDlg) langue->AddTextStorage(f.AboutDlg, "about_ts", &f.AboutDlg->about_ts);
    langue->AddTransientForm("CodecConfigDlg", [&main] { return new TCodecConfigDlg(&main); });
    langue->AddTransientForm("CodecAboutDlg", [&main] { return new TCodecAboutDlg(&main); });
    langue->AfterLanguageSwitch = [&main] { main.langueAfterLanguageSwitch(); };
    if (f.SettingsDlg)
        if (auto* choice = qobject_cast<TLanguageChoice*>(f.SettingsDlg->lng)) {
            // The list follows the scans of the first activation and of every opening.
            choice->SetLanguageList(langue);
            f.SettingsDlg->FillLanguages = [choice](QListWidget&) { choice->Refill(); };
        }
    return langue;
}
