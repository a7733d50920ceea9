// With MORVANTA_SCREENSHOTS=<folder>, grabs every form to <folder>/<FormName>.png: the main
// window with seven pictures and a soundtrack, and each dialog as the user sees it. Skipped
// otherwise. The manual shows these pictures.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <cstdlib>
#include <filesystem>

#include "MainDlgFixture.h"
#include "TestPictures.h"
#include "after/U_BurnDlg.h"
#include "after/U_ProcessSuccessDlg.h"
#include "app/U_PreviewPlay.h"
#include "pictures/U_LoaderDlg.h"
#include "pictures/U_ReorderDlg.h"
#include "platform/codec/U_Codecs.h"

using guitest::TMainDlgTest;

namespace {

// A landscape of gradient and bands, different for each seed, so the strip shows photos.
TBitmap32 SamplePhoto(int seed) {
    TBitmap32 photo = test::MakeGradient(640, 480);
    const std::uint32_t colours[] = {0x2E86C1, 0xF39C12, 0x27AE60, 0x8E44AD,
                                     0xC0392B, 0x16A085, 0xD35400};
    test::FillRect(photo, 0, 300 + 10 * seed, 640, 180, colours[seed % 7]);
    test::FillRect(photo, 60 + 70 * seed, 80, 120, 120, 0xF7DC6F);
    return photo;
}

class Screenshots : public TMainDlgTest {
protected:
    void Grab(QWidget* form) {
        QApplication::processEvents();
        const QString file = folder_.filePath(form->objectName() + ".png");
        EXPECT_TRUE(form->grab().save(file)) << file.toStdString();
        saved_ << form->objectName();
    }
    // Opens a modal dialog through `open`, grabs it once shown and closes it.
    void GrabModal(const std::function<void()>& open) {
        bool grabbed = false;
        guitest::WhenModal([this, &grabbed](QWidget* dialog) {
            Grab(dialog);
            grabbed = true;
            static_cast<QDialog*>(dialog)->reject();
        });
        open();
        EXPECT_TRUE(grabbed);
    }

    QDir folder_;
    QStringList saved_;
};

} // namespace

TEST_F(Screenshots, EveryForm) {
    const char* target = std::getenv("MORVANTA_SCREENSHOTS");
    if (!target || !*target) GTEST_SKIP() << "MORVANTA_SCREENSHOTS is not set";
    std::filesystem::create_directories(target);
    folder_ = QDir(target);
    // The installed codecs, from the test program's own store, where their list is cached.
    if (!OriginalConfig.empty()) setenv("MORVANTA_CONFIG_DIR", OriginalConfig.c_str(), 1);
    CodecLines.clear();
    for (const TCodecInfo& codec : ListCodecInfos()) CodecLines.push_back(codec.Line());

    // A copy of the program, so that the about box shows its version.
    std::filesystem::copy_file(MORVANTA_EXE, ExeFolder + "/morvanta");
    // With the shipped languages beside it, so that "Settings" lists them.
    for (const auto& file :
         std::filesystem::directory_iterator(std::filesystem::path(MORVANTA_EXE).parent_path()))
        if (file.path().extension() == ".SPK" && file.path().filename() != "MRV_ORIGINAL.SPK")
            std::filesystem::copy_file(file.path(),
                                       ExeFolder + "/" + file.path().filename().string());
    Start();
    const char* names[] = {"beach", "harbour", "market", "castle", "dinner", "sunset", "home"};
    std::vector<std::string> entries;
    for (int i = 0; i < 7; ++i) {
        const std::string path = Dir.File(std::string(names[i]) + ".jpg");
        guitest::WriteJpeg(path, SamplePhoto(i));
        entries.push_back(i == 4 ? path + "\tDinner on the terrace" : path);
    }
    W().AddPictureEntries(entries);
    const std::string song = Dir.File("theme.mp3");
    guitest::WriteMp3(song, 5139); // 3:05
    W().SetSoundtrack(QString::fromStdString(song));
    W().out_txt->setText(QString::fromStdString(Dir.File("holiday.avi")));
    W().UpdatePictureCount();
    // The preview panel as Play leaves it: a frame of the show, from the clicked thumbnail.
    W().Preview->SelectPicture(1);
    W().Preview->play_btnClick();
    for (int k = 0; k < 500 && W().Preview->ShownFrame() < 3; ++k) guitest::Pump(5);
    W().Preview->stop_btnClick();
    Grab(&W());

    GrabModal([this] { W().about_btnClick(); });
    GrabModal([this] { W().settings_btnClick(); });
    GrabModal([this] { W().exp_btnClick(); });
    GrabModal([this] { W().jump_btnClick(); });
    W().PictureStyles.Set(4, "time=5000,transition=iris");
    W().Forms.ReorderDlg->StartIndex = 4;
    GrabModal([this] { W().organize_btnClick(); });
    GrabModal([this] { W().codecconfig_btnClick(); });
    GrabModal([this] { W().codecabout_btnClick(); });
    W().Forms.ProcessSuccessDlg->VideoFile = QString::fromStdString(Dir.File("holiday.avi"));
    GrabModal([this] { W().Forms.ProcessSuccessDlg->Execute(); });

    // These two run only while something works; shown here as they look then.
    TLoaderDlg* loader = W().Forms.LoaderDlg;
    loader->pb->setRange(0, 4);
    loader->pb->setValue(2);
    loader->show();
    Grab(loader);
    loader->hide();
    TBurnDlg* burn = W().Forms.BurnDlg;
    burn->show();
    Grab(burn);
    burn->hide();

    for (const char* form :
         {"MainDlg", "AboutDlg", "SettingsDlg", "ExpertDlg", "JumpDlg", "ReorderDlg",
          "CodecConfigDlg", "CodecAboutDlg", "ProcessSuccessDlg", "LoaderDlg", "BurnDlg"})
        EXPECT_TRUE(saved_.contains(form)) << form;
}
