// Project files and the output file: "Save", "Load" and the output's "Browse".
#include <QAction>
#include <QLineEdit>
#include <exception>

#include "app/U_MainDlg.h"
#include "app/U_Project.h"
#include "app/U_ProjectSongs.h"
#include "app/U_StyleInputs.h"
#include "platform/U_FileDialogs.h"
#include "platform/U_Shell.h"
#include "platform/os/U_FileOps.h"
#include "platform/os/U_Settings.h"

namespace {

constexpr const char* ProjectFilter = "Morvanta Project|*.mrv";

} // namespace

void TMainDlg::save_btnClick() {
    // Requires an existing folder, creates a missing file, replaces an existing one unasked.
    const QString chosen = SaveFileDialog(this, {}, ProjectFilter, "mrv", false);
    if (chosen.isEmpty()) return;
    const TEffect effect = Sepia1->isChecked()       ? TEffect::Sepia
                           : Greyscale1->isChecked() ? TEffect::Greyscale
                                                     : TEffect::None;
    try {
        SaveProject(chosen.toStdString(), effect, sound_txt->text().toStdString(),
                    out_txt->text().toStdString(), PicturePaths.Items(), PictureCaptions.Items(),
                    MoreSongs, TShowLook{ShowStyle, PictureStylesOf(PictureStyles)});
    } catch (...) {
        // The save is atomic: an older file under that name is still whole.
        ShowError(std::current_exception());
    }
}

void TMainDlg::load_btnClick() {
    if (Running()) return;
    const QString chosen = OpenFileDialog(this, {}, ProjectFilter);
    if (chosen.isEmpty()) return;
    TProject project;
    try {
        project = LoadProject(chosen.toStdString());
    } catch (...) {
        ShowError(std::current_exception()); // nothing of the window has changed yet
        return;
    }
    // Whatever the file does not mention keeps its state in the window.
    if (project.Output) out_txt->setText(QString::fromStdString(*project.Output));
    std::exception_ptr soundError;
    if (project.Sound && !project.Sound->empty()) {
        try {
            SetSongs(ProjectSongs(project));
        } catch (const std::exception& e) {
            // The soundtrack stays as it was; the pictures still load, then the user is told.
            Log(e.what(), 2);
            soundError = std::current_exception();
        }
    }
    if (project.Effect) {
        Greyscale1->setChecked(*project.Effect == TEffect::Greyscale);
        Sepia1->setChecked(*project.Effect == TEffect::Sepia);
    }
    ApplyProjectStyle(project.Style, ShowStyle);
    for (const std::string& note : project.Style.Notes) Log(note, 2);
    imgreset_btnClick();
    AddPictureEntries(project.Entries, project.Style.Pictures);
    UpdatePictureCount();
    if (soundError) ShowError(soundError);
}
