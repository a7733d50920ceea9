// What a picture and the show change of the plain look, on the real window: Organize's time and
// choice fields (by keyboard too) keep the third list in step with the pictures, the strip's
// tool tips show the times, Expert Options edits the show's look and keeps it in the settings,
// and both reach the run's inputs.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

#include "MainDlgFixture.h"
#include "app/U_ExpertDlg.h"
#include "app/U_StyleInputs.h"
#include "app/U_StyleSettings.h"
#include "pictures/U_PictureStyleBox.h"
#include "pictures/U_ReorderDlg.h"
#include "platform/U_Controls.h"

using guitest::TMainDlgTest;

namespace {

// Opens Organize on `row` and runs `act` inside it, then closes it.
void InOrganize(TMainDlg& w, int row, const std::function<void(TReorderDlg&)>& act) {
    bool ran = false;
    guitest::WhenModal([&](QWidget* dialog) {
        auto& organize = *static_cast<TReorderDlg*>(dialog);
        // Focus moves only inside the active window.
        QApplication::setActiveWindow(&organize);
        act(organize);
        ran = true;
        organize.reject();
    });
    w.Forms.ReorderDlg->StartIndex = row;
    w.organize_btnClick();
    EXPECT_TRUE(ran);
}

int ItemOf(QComboBox* box, const char* text) {
    return box->findText(text);
}

} // namespace

TEST_F(TMainDlgTest, OrganizeTimeFieldTakesWhatIsTypedClampedAndEmptyMeansTheShows) {
    Start();
    AddPictures(3);
    const struct {
        const char* Typed;
        const char* Stored;
        const char* Shown; // the field after leaving it
    } cases[] = {
        {"4500", "time=4500", "4500"},     {"50", "time=100", "100"},
        {"999999", "time=60000", "60000"}, {"", "", ""},
        {"0100", "time=100", "100"},
    };
    for (const auto& c : cases)
        InOrganize(W(), 1, [&](TReorderDlg& d) {
            QLineEdit* time = d.pstyle->ptime_txt;
            ASSERT_TRUE(time->isEnabled());
            EXPECT_EQ(time->placeholderText(), "3000"); // the show's time
            time->setFocus();
            time->selectAll();
            QTest::keyClick(time, Qt::Key_Backspace);
            QTest::keyClicks(time, c.Typed);
            EXPECT_EQ(W().PictureStyles.At(1), c.Stored) << c.Typed;
            QTest::keyClick(time, Qt::Key_Tab); // leaves the field
            EXPECT_EQ(time->text(), c.Shown) << c.Typed;
        });
    EXPECT_EQ(W().PictureStyles.Items(), (std::vector<std::string>{"", "time=100", ""}));
}

TEST_F(TMainDlgTest, OrganizeIsKeyboardCompleteOverTheNewFields) {
    Start();
    AddPictures(3);
    InOrganize(W(), 0, [&](TReorderDlg& d) {
        // Tab from the caption walks the new fields in order, then on to Shuffle.
        d.txt->setFocus();
        QWidget* expected[] = {d.pstyle->ptime_txt, d.pstyle->ptrans_cmb, d.pstyle->pmotion_cmb,
                               d.pstyle->pfill_cmb, d.shuffle_btn};
        for (QWidget* next : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
        }
        // Back to the list, a row down, then the fields by keys alone.
        d.lst->setFocus();
        QTest::keyClick(d.lst, Qt::Key_Down);
        ASSERT_EQ(d.lst->currentRow(), 1);
        d.pstyle->ptime_txt->setFocus();
        QTest::keyClicks(d.pstyle->ptime_txt, "2500");
        QTest::keyClick(d.pstyle->ptime_txt, Qt::Key_Tab);
        for (int k = 0; k < ItemOf(d.pstyle->ptrans_cmb, "Iris"); ++k)
            QTest::keyClick(d.pstyle->ptrans_cmb, Qt::Key_Down);
        QTest::keyClick(d.pstyle->ptrans_cmb, Qt::Key_Tab);
        QTest::keyClick(d.pstyle->pmotion_cmb, Qt::Key_End); // the last: Random
        QTest::keyClick(d.pstyle->pmotion_cmb, Qt::Key_Tab);
        QTest::keyClick(d.pstyle->pfill_cmb, Qt::Key_Down); // the first after "As the show"
    });
    EXPECT_EQ(W().PictureStyles.At(1), "time=2500,transition=iris,motion=random,fill=bands");
    EXPECT_EQ(W().PictureStyles.At(0), "");
}

TEST_F(TMainDlgTest, PictureStylesMoveDeleteAndShuffleWithTheirPictures) {
    Start();
    const auto paths = AddPictures(4);
    W().PictureStyles.Assign({"time=1000", "time=2000", "time=3000", "time=4000"});
    InOrganize(W(), 0, [&](TReorderDlg& d) {
        d.pos_txt->setValue(3);
        d.change_btnClick(); // p1 to the third place
        d.lst->selectRow(0);
        d.del_btnClick(); // p2 goes
        d.Shuffle(12345);
    });
    ASSERT_EQ(W().PicturePaths.Count(), 3u);
    ASSERT_EQ(W().PictureStyles.Count(), 3u);
    // Each picture kept its own time: pN had N000 ms.
    for (std::size_t i = 0; i < 3; ++i) {
        const std::string& path = W().PicturePaths.At(static_cast<long long>(i));
        const char digit = path[path.size() - 5];
        EXPECT_EQ(W().PictureStyles.At(static_cast<long long>(i)),
                  std::string("time=") + digit + "000")
            << path;
    }
    EXPECT_EQ(std::count(paths.begin(), paths.end(), W().PicturePaths.At(0)), 1);
}

TEST_F(TMainDlgTest, TheStripsToolTipsShowEachPicturesTime) {
    Start();
    AddPictures(3);
    W().time_txt->setValue(2000);
    InOrganize(W(), 2, [&](TReorderDlg& d) {
        d.pstyle->ptime_txt->setText("4500");
        emit d.pstyle->ptime_txt->textEdited("4500");
    });
    EXPECT_TRUE(W().ThumbSlots[0]->toolTip().endsWith("\n2000 ms"))
        << W().ThumbSlots[0]->toolTip().toStdString();
    EXPECT_TRUE(W().ThumbSlots[0]->toolTip().startsWith("p1.bmp"));
    EXPECT_TRUE(W().ThumbSlots[2]->toolTip().endsWith("\n4500 ms"))
        << W().ThumbSlots[2]->toolTip().toStdString();
    EXPECT_TRUE(W().ThumbSlots[3]->toolTip().isEmpty());
}

TEST_F(TMainDlgTest, ExpertOptionsEditTheShowsLookKeepItAndHandItToTheRun) {
    Start();
    AddPictures(2);
    W().PictureStyles.Set(1, "time=700,fill=blur");
    guitest::WhenModal([](QWidget* dialog) {
        auto& d = *static_cast<TExpertDlg*>(dialog);
        // Every new control carries its design name.
        for (const char* name :
             {"trans_cmb", "motion_cmb", "ease_chk", "fill_cmb", "font_cmb", "fontsize_txt",
              "colour_btn", "place_cmb", "edge_cmb", "band_chk", "counter_chk"})
            EXPECT_NE(d.findChild<QWidget*>(name), nullptr) << name;
        EXPECT_EQ(d.trans_cmb->currentText(), "Cross-fade");
        EXPECT_TRUE(d.band_chk->isChecked());
        EXPECT_TRUE(d.counter_chk->isChecked());
        d.trans_cmb->setCurrentIndex(ItemOf(d.trans_cmb, "Iris"));
        d.motion_cmb->setCurrentIndex(ItemOf(d.motion_cmb, "Zoom in"));
        d.ease_chk->setChecked(true);
        d.fill_cmb->setCurrentIndex(ItemOf(d.fill_cmb, "Blurred background"));
        d.font_cmb->setCurrentFont(QFont("DejaVu Serif"));
        d.fontsize_txt->setValue(20);
        d.SetCaptionColour(0xFFFF00);
        d.place_cmb->setCurrentIndex(ItemOf(d.place_cmb, "Top"));
        d.edge_cmb->setCurrentIndex(ItemOf(d.edge_cmb, "Outline"));
        d.band_chk->setChecked(false);
        d.counter_chk->setChecked(false);
        d.ok_btn->click();
    });
    W().exp_btnClick();

    TShowStyle want;
    want.Transition = TTransition::Iris;
    want.Motion = TMotion::ZoomIn;
    want.Ease = true;
    want.Fill = TFill::Blur;
    want.Caption.Family = "DejaVu Serif";
    want.Caption.SizePoints = 20;
    want.Caption.Colour = 0xFFFF00;
    want.Caption.Place = TCaptionPlace::Top;
    want.Caption.Edge = TTextEdge::Outline;
    want.Caption.Band = false;
    want.Caption.Counter = false;
    EXPECT_TRUE(W().ShowStyle == want);
    EXPECT_TRUE(ReadShowStyleSetting() == want) << "kept for the next start";

    TRunInputs inputs;
    AddStyleInputs(W(), inputs);
    EXPECT_TRUE(inputs.Style == want);
    ASSERT_EQ(inputs.PictureStyles.size(), 2u);
    EXPECT_EQ(inputs.PictureStyles[1].TimeMs, 700);
    EXPECT_EQ(inputs.PictureStyles[1].Fill, TFill::Blur);
    EXPECT_TRUE(inputs.PictureStyles[0].IsPlain());

    // Opened again, the dialog shows what was chosen; closed without Ok, nothing changes.
    guitest::WhenModal([](QWidget* dialog) {
        auto& d = *static_cast<TExpertDlg*>(dialog);
        EXPECT_EQ(d.trans_cmb->currentText(), "Iris");
        EXPECT_EQ(d.fontsize_txt->value(), 20);
        EXPECT_EQ(d.CaptionColour(), 0xFFFF00u);
        EXPECT_FALSE(d.counter_chk->isChecked());
        d.trans_cmb->setCurrentIndex(0);
        d.reject();
    });
    W().exp_btnClick();
    EXPECT_TRUE(W().ShowStyle == want);
}

TEST_F(TMainDlgTest, PictureTimesAndTheLookGoThroughTheProjectFile) {
    Start();
    const auto paths = AddPictures(3);
    InOrganize(W(), 2, [&](TReorderDlg& d) {
        d.pstyle->ptime_txt->setFocus();
        QTest::keyClicks(d.pstyle->ptime_txt, "4500");
        d.pstyle->pfill_cmb->setCurrentIndex(ItemOf(d.pstyle->pfill_cmb, "Crop to fill"));
    });
    W().PictureStyles.Set(0, "transition=cut");
    W().ShowStyle.Transition = TTransition::WipeLeft;
    const std::string project = Dir.File("show.mrv");
    Dialogs.Answer(project);
    W().save_btnClick();
    const auto lines = guitest::FileLines(project);
    EXPECT_NE(std::find(lines.begin(), lines.end(), ";Picture=3:time=4500,fill=crop"), lines.end());

    // Read back into a window that has forgotten all of it, with the first picture gone.
    W().imgreset_btnClick();
    W().ShowStyle = TShowStyle{};
    std::filesystem::remove(paths[0]);
    Dialogs.Answer(project);
    W().load_btnClick();
    ASSERT_EQ(W().PicturePaths.Items(), (std::vector<std::string>{paths[1], paths[2]}));
    // The styles stay with their pictures: the second one had none.
    EXPECT_EQ(W().PictureStyles.Items(), (std::vector<std::string>{"", "time=4500,fill=crop"}));
    EXPECT_EQ(W().ShowStyle.Transition, TTransition::WipeLeft);

    // Organize shows the loaded time.
    InOrganize(W(), 1, [&](TReorderDlg& d) {
        EXPECT_EQ(d.pstyle->ptime_txt->text(), "4500");
        EXPECT_EQ(d.pstyle->pfill_cmb->currentText(), "Crop to fill");
    });
}

TEST_F(TMainDlgTest, MatchAudioScalesEveryPicturesOwnTimeByTheSameFactor) {
    Start();
    AddPictures(3);
    const std::string song = Dir.File("six.mp3");
    guitest::WriteMp3(song, 167); // 6.012 s: 6 whole seconds
    W().SetSoundtrack(QString::fromStdString(song));
    ASSERT_EQ(W().SoundDurationSec, 6);
    W().xfade_chk->setChecked(false);
    W().time_txt->setValue(1000);
    W().PictureStyles.Assign({"time=2000,fill=crop", "", "transition=cut"});
    W().matchaudio_btnClick(); // 4000 ms of pictures over 6 s: each time 1.5 times longer
    EXPECT_EQ(W().time_txt->value(), 1500);
    EXPECT_EQ(W().PictureStyles.Items(),
              (std::vector<std::string>{"time=3000,fill=crop", "", "transition=cut"}));
    EXPECT_TRUE(Shell.Boxes.empty());
}
