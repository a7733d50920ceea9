// The main window with its real widgets: start-up, names and defaults, the codec preselection,
// the option handlers, enabling during a run, closing during a run, and the log.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>
#include <QUrl>
#include <chrono>
#include <filesystem>
#include <thread>

#include "MainDlgFixture.h"
#include "app/U_ExpertDlg.h"
#include "app/U_Log.h"
#include "lang/U_VersionInfo.h"
#include "platform/U_Controls.h"
#include "platform/U_FitCaptions.h"
#include "platform/U_QtDispatcher.h"
#include "platform/os/U_Settings.h"
#include "platform/os/U_Thread.h"

using guitest::TMainDlgTest;

namespace {

QString CaptionOf(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
    return "(no caption)";
}

} // namespace

TEST_F(TMainDlgTest, ControlsCarryTheirDesignNamesCaptionsAndPlaces) {
    Start();
    EXPECT_EQ(W().objectName(), "MainDlg");
    const struct {
        const char* name;
        const char* caption;
    } controls[] = {
        {"photo_grp", "Photos"},
        {"prev_btn", "<"},
        {"next_btn", ">"},
        {"addphotos_btn", "Add Files"},
        {"imgreset_btn", "Reset"},
        {"save_btn", "Save"},
        {"load_btn", "Load"},
        {"jump_btn", "Jump to...."},
        {"organize_btn", "Organize"},
        {"sound_grp", "Soundtrack"},
        {"sound_btn", "Browse"},
        {"resetaudio_btn", "Reset"},
        {"video_grp", "Video Compression"},
        {"codecs_grp", "Codecs"},
        {"codecconfig_btn", "Codec Configuration"},
        {"codecabout_btn", "About"},
        {"dlcodecs_lbl", "Download More Codecs"},
        {"res_grp", "Resolution"},
        {"options_grp", "Options"},
        {"dynamics_chk", "Enable dynamic pictures"},
        {"xfade_chk", "Enable Cross-Fading"},
        {"osd_chk", "Enable \"On Video Text Insertion\""},
        {"time_lbl", "Time per picture (ms) :"},
        {"matchaudio_btn", "Match audio"},
        {"fps_lbl", "Fps :"},
        {"exp_btn", "Expert"},
        {"out_grp", "Output"},
        {"out_btn", "Browse"},
        {"go_btn", "Go !"},
        {"cancel_btn", "Cancel"},
        {"preview_grp", "Preview"},
        {"settings_btn", "Settings"},
        {"help_btn", "Help"},
        {"about_btn", "About..."},
    };
    for (const auto& c : controls) {
        auto* w = W().findChild<QWidget*>(c.name);
        ASSERT_NE(w, nullptr) << c.name;
        EXPECT_EQ(CaptionOf(w), c.caption) << c.name;
        EXPECT_LE(CaptionWidth(w), w->width()) << c.name << " is cut off";
    }
    for (const char* name :
         {"thumb_rct", "thumbstats_lbl", "sound_txt", "audioduration_lbl", "codecs_cmb", "res_cmb",
          "time_txt", "FPS_txt", "out_txt", "prog_lbl", "pb", "img", "modes_pnl", "StatusBar"})
        EXPECT_NE(W().findChild<QWidget*>(name), nullptr) << name;

    const struct {
        QWidget* w;
        QRect geometry;
    } places[] = {
        {W().modes_pnl, {-1, 1, 103, 427}},    {W().photo_grp, {104, 0, 673, 145}},
        {W().thumb_rct, {32, 16, 515, 77}},    {W().sound_grp, {104, 146, 249, 95}},
        {W().video_grp, {104, 248, 249, 177}}, {W().options_grp, {360, 146, 417, 119}},
        {W().out_grp, {360, 272, 417, 153}},   {W().preview_grp, {256, 16, 145, 113}},
    };
    for (const auto& p : places)
        EXPECT_EQ(p.w->geometry(), p.geometry) << p.w->objectName().toStdString();
    EXPECT_EQ(W().centralWidget()->width(), 783);
    EXPECT_EQ(W().centralWidget()->height() + W().statusBar()->height(), 447);
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(W().ThumbSlots[k]->geometry(), QRect(32 + 103 * k + 1, 17, 100, 75));
    EXPECT_EQ(W().settings_btn->y() < W().help_btn->y() && W().help_btn->y() < W().about_btn->y(),
              true);
}

TEST_F(TMainDlgTest, LongerCaptionsWidenTheirControlsOrWrapWithoutOverlapping) {
    Start();
    const std::string wide(300, 'x');
    const struct {
        QWidget* w;
        const char* caption;
    } longer[] = {
        {W().osd_chk, "Afficher les légendes des photos dans la vidéo (sous-titres)"},
        {W().time_lbl, "Zeit pro Bild in Millisekunden :"},
        {W().fps_lbl, "Bilder/Sekunde :"},
        {W().resetaudio_btn, "Zurücksetzen"},
        {W().sound_btn, "Durchsuchen..."},
        {W().audioduration_lbl, wide.c_str()},
    };
    for (const auto& c : longer) {
        if (auto* b = qobject_cast<QAbstractButton*>(c.w)) b->setText(c.caption);
        if (auto* l = qobject_cast<QLabel*>(c.w)) l->setText(c.caption);
        EXPECT_GT(CaptionWidth(c.w), c.w->width()) << c.caption;
    }
    const QRect fpsEdit = W().FPS_txt->geometry();
    W().langueAfterLanguageSwitch();
    for (QWidget* w : std::initializer_list<QWidget*>{W().osd_chk, W().resetaudio_btn})
        EXPECT_LE(CaptionWidth(w), w->width()) << w->objectName().toStdString();
    EXPECT_TRUE(W().time_lbl->wordWrap()) << "no room beside it: it wraps";
    EXPECT_TRUE(W().fps_lbl->wordWrap());
    EXPECT_EQ(W().sound_btn->toolTip(), "Durchsuchen...") << "hemmed in: the tool tip tells";
    EXPECT_TRUE(W().audioduration_lbl->wordWrap()) << "too long for any room: it wraps";
    EXPECT_EQ(W().FPS_txt->geometry(), fpsEdit) << "neighbours stay where they are";

    // No two controls of a group overlap.
    for (QWidget* group : W().centralWidget()->findChildren<QWidget*>()) {
        std::vector<QWidget*> controls;
        for (QObject* o : group->children())
            if (auto* w = qobject_cast<QWidget*>(o); w && CaptionWidth(w) > 0)
                controls.push_back(w);
        for (std::size_t i = 0; i < controls.size(); ++i)
            for (std::size_t j = i + 1; j < controls.size(); ++j)
                EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry()))
                    << controls[i]->objectName().toStdString() << " overlaps "
                    << controls[j]->objectName().toStdString();
    }
}

TEST_F(TMainDlgTest, MenuItemsAreNamedActionsWithTheirCaptions) {
    Start();
    const struct {
        const char* name;
        const char* caption;
    } items[] = {{"Load1", "Load"},   {"Save1", "Save"},     {"Quit1", "Quit"},
                 {"Add1", "Add"},     {"Reset1", "Reset"},   {"Organize1", "Organize"},
                 {"Add2", "Add"},     {"Remove1", "Remove"}, {"Greyscale1", "Greyscale"},
                 {"Sepia1", "Sepia"}, {"Help1", "Help"},     {"About1", "About"}};
    for (const auto& item : items) {
        auto* action = W().findChild<QAction*>(item.name);
        ASSERT_NE(action, nullptr) << item.name;
        EXPECT_EQ(action->text(), item.caption) << item.name;
    }
    QStringList menus;
    for (QAction* a : W().menuBar()->actions()) menus << a->text();
    EXPECT_EQ(menus, (QStringList{"File", "Pictures", "Sound", "Effects", "?"}));
}

TEST_F(TMainDlgTest, StartUpSetsTheDefaultsAndLogsItsThreeLines) {
    Start();
    EXPECT_TRUE(W().isVisible());
    EXPECT_FALSE(W().dynamics_chk->isChecked());
    EXPECT_TRUE(W().xfade_chk->isChecked());
    EXPECT_TRUE(W().osd_chk->isChecked());
    EXPECT_EQ(W().time_txt->value(), 3000);
    EXPECT_EQ(W().time_txt->minimum(), 100);
    EXPECT_EQ(W().time_txt->maximum(), 60000);
    EXPECT_EQ(W().time_txt->singleStep(), 100);
    EXPECT_EQ(W().FPS_txt->value(), 15);
    EXPECT_EQ(W().FPS_txt->minimum(), 1);
    EXPECT_EQ(W().FPS_txt->maximum(), 60);
    ASSERT_EQ(W().res_cmb->count(), 9);
    EXPECT_EQ(W().res_cmb->itemText(0), "320x240");
    EXPECT_EQ(W().res_cmb->itemText(2), "720x576");
    EXPECT_EQ(W().res_cmb->currentText(), "640x480");
    EXPECT_TRUE(W().go_btn->isEnabled());
    EXPECT_FALSE(W().cancel_btn->isEnabled());
    EXPECT_TRUE(W().matchaudio_btn->isEnabled()) << "start-up enables it, soundtrack or not";
    EXPECT_TRUE(W().sound_txt->isReadOnly());
    EXPECT_TRUE(W().out_txt->isReadOnly());
    EXPECT_FALSE(W().thumbstats_lbl->isVisible());
    EXPECT_EQ(W().StatusPanels[0]->text(), "0 pictures");
    EXPECT_EQ(W().SoundDurationSec, 0);
    EXPECT_EQ(W().windowTitle(), "Morvanta vFile not found");

    const std::string exe = ExeFolder + "/morvanta";
    EXPECT_EQ(LogLines(), (std::vector<std::string>{"Info\tMorvanta vFile not found",
                                                    "Info\t" + exe, "Info\tStarting"}));
    EXPECT_EQ(ReadStringValue(TSettingsHive::Machine, "SOFTWARE\\Tavrell", "Morvanta"), exe);

    W().AppEvtActivate(); // runs once only
    EXPECT_EQ(LogLines().size(), 3u);
}

TEST_F(TMainDlgTest, CaptionCarriesTheExecutablesVersion) {
    // A copy of the program: its version block travels with it.
    std::filesystem::copy_file(MORVANTA_EXE, ExeFolder + "/morvanta");
    Start();
    const std::string version = GetFileVersionText(MORVANTA_EXE);
    ASSERT_TRUE(std::isdigit(static_cast<unsigned char>(version.front()))) << version;
    EXPECT_EQ(W().windowTitle().toStdString(), "Morvanta v" + version);
    W().langueAfterLanguageSwitch();
    EXPECT_EQ(W().windowTitle().toStdString(), "Morvanta v" + version);
}

TEST_F(TMainDlgTest, CodecPreselectionFollowsLastFccWithoutRegardToCase) {
    const struct {
        std::vector<std::string> lines;
        const char* lastFcc; // nullptr: not stored
        int expected;
    } cases[] = {
        {{"DIB  Uncompressed", "H264 libx264", "xvid MPEG-4 in small letters"}, "XVID", 2},
        {{"DIB  Uncompressed", "XVID libxvidcore"}, nullptr, 1}, // absent: "xvid"
        {{"DIB  Uncompressed", "XVID libxvidcore"}, "", 1},      // empty: "xvid"
        {{"DIB  Uncompressed", "H264 libx264", "H263 h263p"}, "h26", 1},
        {{"DIB  Uncompressed", "H264 libx264"}, "MJPG", 0},
        {{}, "XVID", -1},
    };
    for (const auto& c : cases) {
        CodecLines = c.lines;
        if (c.lastFcc) WriteSetting("LastFCC", c.lastFcc);
        Start();
        EXPECT_EQ(W().codecs_cmb->count(), static_cast<int>(c.lines.size()));
        EXPECT_EQ(W().codecs_cmb->currentIndex(), c.expected)
            << (c.lastFcc ? c.lastFcc : "(absent)");
        Window.reset();
    }
}

TEST_F(TMainDlgTest, DynamicPicturesSetTheFrameRateOnEveryChange) {
    Start();
    W().dynamics_chk->click();
    EXPECT_EQ(W().FPS_txt->value(), 25);
    W().FPS_txt->setValue(30);
    W().dynamics_chk->setChecked(false); // as Go's temporal check does
    EXPECT_EQ(W().FPS_txt->value(), 15);
    W().dynamics_chk->setChecked(true);
    EXPECT_EQ(W().FPS_txt->value(), 25);
}

TEST_F(TMainDlgTest, SpinEditsClampWhatIsTypedAndWhatIsSet) {
    Start();
    W().time_txt->setValue(70000);
    EXPECT_EQ(W().time_txt->value(), 60000);
    const struct {
        TSpinEdit* edit;
        const char* typed;
        int expected;
    } cases[] = {{W().time_txt, "70000", 60000}, {W().time_txt, "5", 100},
                 {W().time_txt, "2500", 2500},   {W().FPS_txt, "0", 1},
                 {W().FPS_txt, "75", 60},        {W().FPS_txt, "-3", 1}};
    for (const auto& c : cases) {
        // Typed with the cursor still in the edit: the value read is already clamped.
        auto* line = c.edit->findChild<QLineEdit*>();
        c.edit->setFocus();
        line->selectAll();
        line->insert(c.typed);
        EXPECT_EQ(line->text(), c.typed) << "any whole number can be typed";
        EXPECT_EQ(c.edit->Value(), c.expected) << c.typed;
        EXPECT_EQ(c.edit->text().toInt(), c.expected) << c.typed;
    }
}

TEST_F(TMainDlgTest, EffectsExcludeEachOther) {
    Start();
    W().Greyscale1Click();
    EXPECT_TRUE(W().Greyscale1->isChecked());
    W().Sepia1Click();
    EXPECT_TRUE(W().Sepia1->isChecked());
    EXPECT_FALSE(W().Greyscale1->isChecked());
    W().Sepia1Click();
    EXPECT_FALSE(W().Sepia1->isChecked());
    EXPECT_FALSE(W().Greyscale1->isChecked());
    // The menu does the same.
    W().Sepia1->trigger();
    W().Greyscale1->trigger();
    EXPECT_TRUE(W().Greyscale1->isChecked());
    EXPECT_FALSE(W().Sepia1->isChecked());
    W().Greyscale1->trigger();
    EXPECT_FALSE(W().Greyscale1->isChecked());
}

TEST_F(TMainDlgTest, ExpertSingleFrameModeDisablesTheVisualOptions) {
    Start();
    TExpertDlg* expert = W().Forms.ExpertDlg;
    QWidget* const affected[] = {W().dynamics_chk, W().xfade_chk, W().osd_chk, W().time_txt,
                                 W().matchaudio_btn};
    guitest::WhenModal([expert](QWidget*) {
        EXPECT_FALSE(expert->sng_chk->isChecked());
        expert->sng_chk->setChecked(true);
        expert->ok_btn->click();
    });
    W().exp_btnClick();
    for (QWidget* w : affected) EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_TRUE(W().FPS_txt->isEnabled());

    // Cancelled: nothing changes, and the box showed the mode as it is.
    guitest::WhenModal([expert](QWidget* dialog) {
        EXPECT_TRUE(expert->sng_chk->isChecked());
        expert->sng_chk->setChecked(false);
        static_cast<QDialog*>(dialog)->reject();
    });
    W().exp_btnClick();
    for (QWidget* w : affected) EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();

    // A run's end enables everything again: single-frame mode is off.
    W().EnableControls(false);
    W().EnableControls(true);
    for (QWidget* w : affected) EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
}

TEST_F(TMainDlgTest, DuringARunTheEditingCommandsAreDisabled) {
    Start();
    W().EnableControls(false);
    for (QWidget* w : std::initializer_list<QWidget*>{
             W().sound_btn,     W().resetaudio_btn, W().sound_txt,      W().organize_btn,
             W().addphotos_btn, W().imgreset_btn,   W().load_btn,       W().save_btn,
             W().dynamics_chk,  W().FPS_txt,        W().matchaudio_btn, W().osd_chk,
             W().time_txt,      W().xfade_chk,      W().exp_btn,        W().codecconfig_btn,
             W().codecs_cmb,    W().res_cmb,        W().go_btn,         W().out_btn,
             W().out_txt,       W().codecabout_btn})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_TRUE(W().cancel_btn->isEnabled());
    for (QAction* a : {W().Load1, W().Add1, W().Reset1, W().Organize1, W().Add2, W().Remove1})
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    for (QWidget* w :
         std::initializer_list<QWidget*>{W().prev_btn, W().next_btn, W().jump_btn, W().settings_btn,
                                         W().help_btn, W().about_btn})
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    for (QAction* a : {W().Save1, W().Quit1, W().Greyscale1, W().Sepia1, W().Help1, W().About1})
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
}

namespace {

// A worker that runs until asked to stop, reporting through the window's dispatcher.
class TUntilStopped : public TThread {
public:
    using TThread::TThread;

protected:
    void Execute() override {
        while (!Terminated()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
};

} // namespace

TEST_F(TMainDlgTest, ClosingDuringARunStopsTheWorkerAndClosesInItsEndHandler) {
    Start();
    auto worker = std::make_unique<TUntilStopped>(W().Dispatcher);
    bool handlerRan = false;
    worker->OnTerminate = [this, &handlerRan](TThread&) {
        handlerRan = true;
        EXPECT_TRUE(W().isVisible()) << "nothing is closed before the end handler";
        W().RetireWorker(std::move(W().Worker));
        W().EndRun();
    };
    W().EnableControls(false);
    W().CurrentWorker = worker.get();
    W().Worker = std::move(worker);
    W().CurrentWorker->Start();

    EXPECT_FALSE(W().close()) << "the close waits for the worker";
    EXPECT_TRUE(W().isVisible());
    EXPECT_TRUE(W().CloseRequested());
    for (int i = 0; i < 500 && W().isVisible(); ++i) guitest::Pump(5);
    EXPECT_TRUE(handlerRan);
    EXPECT_FALSE(W().isVisible()) << "the end handler completed the close";
    EXPECT_FALSE(W().Running());
}

TEST_F(TMainDlgTest, LogLivesBesideTheExecutableWithItsLimitAndLevels) {
    WriteSetting("LogMode", "1");
    Start();
    EXPECT_EQ(W().AppLog->FileName(), ExeFolder + "/Morvanta.log");
    EXPECT_EQ(W().AppLog->MaxLines(), 10000);
    EXPECT_TRUE(W().AppLog->VerboseEnabled());
    W().Log("detail", 0);
    W().Log("broken", 3);
    const auto lines = guitest::FileLines(ExeFolder + "/Morvanta.log");
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], "Error\tbroken");
    EXPECT_EQ(lines[1], "Verbose\tdetail");
    EXPECT_EQ(lines.back(), "Info\tStarting");
    EXPECT_EQ(W().AppLog->ErrorCount(), 1);
    Window.reset();
    EXPECT_EQ(guitest::FileLines(ExeFolder + "/Morvanta.log").front(), "Info\tClosing...");

    for (const char* mode : {"0", "", "yes"}) {
        WriteSetting("LogMode", mode);
        Start();
        EXPECT_FALSE(W().AppLog->VerboseEnabled()) << mode;
        const auto before = guitest::FileLines(W().AppLog->FileName());
        W().Log("detail", 0);
        EXPECT_EQ(guitest::FileLines(W().AppLog->FileName()), before) << "file untouched";
        Window.reset();
    }
}

TEST_F(TMainDlgTest, FullLogDropsItsOldestLine) {
    // In memory where the system offers it: ten thousand whole-file rewrites.
    const std::filesystem::path shm = "/dev/shm";
    if (std::filesystem::is_directory(shm)) {
        ExeFolder = (shm / ("morvanta-gui-log-" + std::to_string(::getpid()))).string();
        std::filesystem::create_directories(ExeFolder);
    }
    Start();
    for (int i = 0; i < 9997; ++i) W().Log(std::to_string(i), 1);
    EXPECT_EQ(guitest::FileLines(W().AppLog->FileName()).size(), 10000u);
    EXPECT_EQ(guitest::FileLines(W().AppLog->FileName()).back(), "Info\tStarting");
    W().Log("one more", 1);
    const auto lines = guitest::FileLines(W().AppLog->FileName());
    EXPECT_EQ(lines.size(), 10000u);
    EXPECT_EQ(lines.front(), "Info\tone more");
    EXPECT_EQ(lines.back(), "Info\t" + ExeFolder + "/morvanta") << "the former second-to-last";
    Window.reset();
    if (ExeFolder.starts_with("/dev/shm/")) std::filesystem::remove_all(ExeFolder);
}

TEST_F(TMainDlgTest, LogGoesToTheStateFolderWhenTheExecutablesFolderCannotBeWritten) {
    ExeFolder = Dir.File("no-such-folder");
    Start();
    EXPECT_EQ(W().AppLog->FileName(), StateFolder + "/Morvanta.log");
    EXPECT_EQ(guitest::FileLines(StateFolder + "/Morvanta.log").back(), "Info\tStarting");
    guitest::Pump(20);
    EXPECT_TRUE(Shell.Boxes.empty());
}

TEST_F(TMainDlgTest, ALogThatCannotBeWrittenIsReportedOnceAndTheProgramGoesOn) {
    ExeFolder = Dir.File("no-such-folder");
    test::WriteText(Dir.File("a-file"), "x");
    StateFolder = Dir.File("a-file/state"); // under a file: nothing can be created there
    Start();
    guitest::Pump(20);
    ASSERT_EQ(Shell.Boxes.size(), 1u);
    EXPECT_TRUE(Shell.Boxes[0].OwnerVisible) << "reported after the window is shown";
    EXPECT_TRUE(Shell.Boxes[0].Text.contains("Morvanta.log")) << Shell.Boxes[0].Text.toStdString();
    AddPictures(2);
    guitest::Pump(20);
    EXPECT_EQ(Shell.Boxes.size(), 1u) << "once only";
    EXPECT_EQ(Paths().size(), 2u);
    EXPECT_EQ(LogLines().front(), "Info\tFiles count : 2") << "lines are still kept in memory";
}

TEST_F(TMainDlgTest, ADroppedMp3BecomesTheSoundtrackAndDropsWaitDuringARun) {
    Start();
    const std::string song = Dir.File("song.mp3");
    guitest::WriteMp3(song, 100);
    const std::string picture = Bmp("a.bmp");
    auto drop = [this](const std::vector<std::string>& files) {
        QMimeData data;
        QList<QUrl> urls;
        for (const auto& f : files) urls << QUrl::fromLocalFile(QString::fromStdString(f));
        data.setUrls(urls);
        // As a real drag: the window accepts the drag first, then takes the drop.
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction | Qt::MoveAction, &data,
                              Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&W(), &enter);
        if (!enter.isAccepted() || enter.dropAction() != Qt::CopyAction) return false;
        QDropEvent event(QPointF(10, 10), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(&W(), &event);
        return event.isAccepted();
    };
    EXPECT_TRUE(drop({song}));
    EXPECT_EQ(W().sound_txt->text().toStdString(), song);
    EXPECT_TRUE(Paths().empty());

    EXPECT_TRUE(drop({song, picture}));
    EXPECT_EQ(Paths(), std::vector<std::string>{picture});
    EXPECT_EQ(LogLines()[1], "Error\tFile not supported : " + song);

    TUntilStopped worker(W().Dispatcher);
    W().CurrentWorker = &worker; // a run in progress (never started)
    EXPECT_FALSE(drop({picture}));
    EXPECT_EQ(Paths().size(), 1u);
    W().CurrentWorker = nullptr;
    EXPECT_TRUE(W().DropList.empty());
}
