// The codec buttons, the options and effects, and the small dialogs reached
// from the window (Settings, Expert Options, About, Help).
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/U_AboutDlg.h"
#include "app/U_CodecAboutDlg.h"
#include "app/U_CodecConfigDlg.h"
#include "app/U_ExpertDlg.h"
#include "app/U_MainDlg.h"
#include "app/U_Preflight.h"
#include "app/U_PreviewPlay.h"
#include "app/U_RunSettings.h"
#include "app/U_SettingsDlg.h"
#include "audio/U_AudioFile.h"
#include "lang/U_VersionInfo.h"
#include "platform/U_AppPaths.h"
#include "platform/U_Controls.h"
#include "platform/U_FileDialogs.h"
#include "platform/U_Shell.h"
#include "platform/base/U_Errors.h"
#include "platform/os/U_FileOps.h"
#include "platform/os/U_Settings.h"
#include "video/U_BmpToAvi.h"
#include "video/U_FrameServer.h"
#include "video/U_ImageFile.h"

bool TMainDlg::SelectCodecOnWriter(std::string& fourcc) {
    if (!AviWriter || !WaitForCodecList()) return false;
    fourcc = codecs_cmb->currentIndex() < 0 ? std::string()
                                            : codecs_cmb->currentText().left(4).toStdString();
    try {
        AviWriter->SetCodec(fourcc);
    } catch (...) {
        ShowError(std::current_exception());
        return false;
    }
    return true;
}

void TMainDlg::codecconfig_btnClick() {
    std::string fourcc;
    if (!SelectCodecOnWriter(fourcc)) return;
    TCodecConfigDlg dialog(this); // nothing opens for a codec without options
    dialog.FourCC = QString::fromStdString(fourcc);
    dialog.Execute();
}

void TMainDlg::codecabout_btnClick() {
    if (Running()) return; // the writer is busy
    std::string fourcc;
    if (!SelectCodecOnWriter(fourcc)) return;
    TCodecAboutDlg dialog(this);
    dialog.FourCC = QString::fromStdString(fourcc);
    dialog.Execute();
}

void TMainDlg::dlcodecs_btnClick() {
    OpenWithShell(CodecsPageUrl);
}

void TMainDlg::help_btnClick() {
    const std::string manual = FindDataFile(FolderOf(exePath_), ManualFile);
    if (manual.empty()) {
        ShowMessageBox(this, QString("The manual (%1) is not installed.").arg(ManualFile), false,
                       mkWarning);
        return;
    }
    OpenFromWindow(this, {}, QString::fromStdString(manual));
}

void TMainDlg::about_btnClick() {
    if (!Forms.AboutDlg) return;
    Forms.AboutDlg->VersionText = QString::fromStdString(GetFileVersionText(exePath_));
    Forms.AboutDlg->Execute();
}

void TMainDlg::settings_btnClick() {
    // The language list stays empty until the language packs fill it through
    // SettingsDlg->FillLanguages and act on SettingsDlg->LanguageChosen.
    if (Forms.SettingsDlg) Forms.SettingsDlg->Execute();
}

void TMainDlg::exp_btnClick() {
    if (!Forms.ExpertDlg) return;
    Forms.ExpertDlg->sng_chk->setChecked(!dynamics_chk->isEnabled());
    Forms.ExpertDlg->Style = ShowStyle;
    if (!Forms.ExpertDlg->Execute()) return;
    ShowStyle = Forms.ExpertDlg->Style;
    if (Preview) Preview->OptionsChanged();
    const bool single = Forms.ExpertDlg->sng_chk->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{dynamics_chk, xfade_chk, osd_chk, time_txt,
                                                      matchaudio_btn})
        w->setEnabled(!single);
    // The dialog also stores "AutoRotate": thumbnails follow it as the frames will.
    const bool autoRotate = ReadAutoRotateSetting();
    if (ThumbServer && ThumbServer->PictureOptions().AutoRotate != autoRotate) {
        ThumbServer->SetPictureOptions({autoRotate, true});
        for (TImageControl* slot : ThumbSlots) slot->Tag = -1;
        RefreshThumbStrip();
    }
}

void TMainDlg::dynamics_chkClick() {
    FPS_txt->setValue(dynamics_chk->isChecked() ? 25 : 15);
}

void TMainDlg::Greyscale1Click() {
    Greyscale1->setChecked(!Greyscale1->isChecked());
    if (Greyscale1->isChecked()) Sepia1->setChecked(false);
}

void TMainDlg::Sepia1Click() {
    Sepia1->setChecked(!Sepia1->isChecked());
    if (Sepia1->isChecked()) Greyscale1->setChecked(false);
}
