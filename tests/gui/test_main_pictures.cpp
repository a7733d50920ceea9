// The picture list and the thumbnail strip on the real window: entries, rejections, the
// file dialog's order, the strip's labels and navigation, Reset, Jump and Organize.
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTableWidget>
#include <filesystem>

#include "MainDlgFixture.h"
#include "pictures/U_JumpDlg.h"
#include "pictures/U_ReorderDlg.h"
#include "platform/U_Controls.h"
#include "platform/os/U_Settings.h"

using guitest::TMainDlgTest;

namespace {

// The colour at the middle of a slot's picture (0xRRGGBB), or -1 for none.
long long SlotColour(TImageControl* slot) {
    if (slot->Picture().isNull()) return -1;
    return slot->Picture().pixel(50, 37) & 0xFFFFFF;
}

std::vector<int> Tags(const TMainDlg& w) {
    std::vector<int> tags;
    for (TImageControl* slot : w.ThumbSlots) tags.push_back(slot->Tag);
    return tags;
}

std::vector<bool> Visible(const TMainDlg& w) {
    std::vector<bool> shown;
    for (TImageControl* slot : w.ThumbSlots) shown.push_back(slot->isVisible());
    return shown;
}

} // namespace

TEST_F(TMainDlgTest, EntriesWithAndWithoutCaptionsJoinTheList) {
    Start();
    const std::string a = Bmp("a.bmp"), b = Jpeg("b.JPG"), c = Bmp("c.BMP"), d = Jpeg("d.jpeg");
    W().AddPictureEntries({a, b + "\tDinner on the terrace", c + "\t", d + "\tone\ttwo"});
    EXPECT_EQ(Paths(), (std::vector<std::string>{a, b, c, d}));
    EXPECT_EQ(Captions(),
              (std::vector<std::string>{"a.bmp", "Dinner on the terrace", "", "one\ttwo"}));
    EXPECT_EQ(W().StatusPanels[0]->text(), "4 pictures");
    const auto log = LogLines();
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 3),
              (std::vector<std::string>{"Info\tFiles count : 4", "Info\t4 files to be added",
                                        "Info\tFiles count : 0"}));
}

TEST_F(TMainDlgTest, UnsupportedAndMissingFilesAreLoggedAndNotAdded) {
    Start();
    const std::string png = Dir.File("shot.png");
    test::WriteText(png, "not a picture anyway");
    const std::string missing = Dir.File("gone.jpg");
    const std::string good = Bmp("good.bmp");
    W().AddPictureEntries({png, missing + "\tcaption", good, Dir.Path().string()});
    EXPECT_EQ(Paths(), std::vector<std::string>{good});
    const auto log = LogLines();
    EXPECT_EQ(log[0], "Info\tFiles count : 1");
    EXPECT_EQ(log[1], "Error\tFile not found : " + Dir.Path().string()) << "a folder is no file";
    EXPECT_EQ(log[2], "Error\tFile not found : " + missing);
    EXPECT_EQ(log[3], "Error\tFile not supported : " + png);
    EXPECT_EQ(W().AppLog->ErrorCount(), 3);
    EXPECT_TRUE(Shell.Boxes.empty()) << "rejections are only logged";
}

TEST_F(TMainDlgTest, TheFileDialogsChoiceJoinsInTheFoldersOrder) {
    Start();
    const std::string c = Jpeg("c.jpg", 0x0000FF), a = Jpeg("a.jpg", 0xFF0000),
                      b = Jpeg("b.JPG", 0x00FF00), ten = Jpeg("img10.jpg"), two = Jpeg("img2.jpg");
    Dialogs.Answer(QStringList{QString::fromStdString(c), QString::fromStdString(ten),
                               QString::fromStdString(a), QString::fromStdString(two),
                               QString::fromStdString(b)});
    W().addphotos_btnClick();
    EXPECT_EQ(Paths(), (std::vector<std::string>{a, b, c, two, ten}));
    EXPECT_EQ(Captions(),
              (std::vector<std::string>{"a.jpg", "b.JPG", "c.jpg", "img2.jpg", "img10.jpg"}));
    ASSERT_EQ(Dialogs.Requests.size(), 1u);
    EXPECT_EQ(Dialogs.Requests[0].Mode, TFileDialogMode::OpenMany);
    EXPECT_TRUE(Dialogs.Requests[0].InitialFolder.isEmpty());
    EXPECT_EQ(ReadSetting("PicsPath"), Dir.Path().string() + "/");
    // The thumbnails of JPEGs are drawn in their colours.
    EXPECT_NEAR(SlotColour(W().ThumbSlots[0]) >> 16, 0xFF, 8);
    EXPECT_NEAR((SlotColour(W().ThumbSlots[1]) >> 8) & 0xFF, 0xFF, 8);

    // The next dialog opens where the last pictures came from; Cancel adds nothing.
    W().addphotos_btnClick();
    ASSERT_EQ(Dialogs.Requests.size(), 2u);
    EXPECT_EQ(Dialogs.Requests[1].InitialFolder.toStdString(), Dir.Path().string() + "/");
    EXPECT_EQ(Paths().size(), 5u);
}

TEST_F(TMainDlgTest, FileDialogFiltersMatchExtensionsInAnyCase) {
    Start();
    W().addphotos_btnClick();
    W().sound_btnClick();
    W().load_btnClick();
    W().out_btnClick();
    ASSERT_EQ(Dialogs.Requests.size(), 4u);
    const QStringList expected[] = {
        {"JPEG (*.[jJ][pP][eE][gG] *.[jJ][pP][gG])", "Bitmap (*.[bB][mM][pP])"},
        {"Sound files (*.[mM][pP]3 *.[mM]4[aA] *.[aA][aA][cC] *.[oO][gG][gG] *.[oO][gG][aA] "
         "*.[oO][pP][uU][sS] *.[fF][lL][aA][cC] *.[wW][aA][vV])",
         "MP3 files (*.[mM][pP]3)"},
        {"Morvanta Project (*.[mM][rR][vV])"},
        {"AVI Files (*.[aA][vV][iI])", "MP4 Files (*.[mM][pP]4)", "MKV Files (*.[mM][kK][vV])",
         "WebM Files (*.[wW][eE][bB][mM])"},
    };
    for (int i = 0; i < 4; ++i) EXPECT_EQ(NameFilters(Dialogs.Requests[i].Filter), expected[i]);
    // Qt's own matching, as its file dialog uses it, takes the upper-case names.
    const QRegularExpression jpg(QRegularExpression::wildcardToRegularExpression("*.[jJ][pP][gG]"));
    EXPECT_TRUE(jpg.match("IMG_0001.JPG").hasMatch());
    EXPECT_TRUE(jpg.match("img_0001.Jpg").hasMatch());
    EXPECT_FALSE(jpg.match("img_0001.png").hasMatch());
}

TEST_F(TMainDlgTest, StripWithThreePictures) {
    Start();
    EXPECT_FALSE(W().thumbstats_lbl->isVisible()) << "hidden with no picture";
    const auto paths = AddPictures(3);
    EXPECT_EQ(W().thumbstats_lbl->text(), "1 - 3 / 3");
    EXPECT_TRUE(W().thumbstats_lbl->isVisible());
    EXPECT_EQ(Tags(W()), (std::vector<int>{0, 1, 2, -1, -1}));
    EXPECT_EQ(Visible(W()), (std::vector<bool>{true, true, true, false, false}));
    EXPECT_EQ(SlotColour(W().ThumbSlots[1]), 0x202020);
    W().next_btnClick();
    W().prev_btnClick();
    EXPECT_EQ(W().FirstThumb, 0);
    EXPECT_EQ(W().thumbstats_lbl->text(), "1 - 3 / 3");
}

TEST_F(TMainDlgTest, StripWithSevenPicturesNavigates) {
    Start();
    AddPictures(7);
    EXPECT_EQ(W().thumbstats_lbl->text(), "1 - 5 / 7");
    W().next_btnClick();
    EXPECT_EQ(W().thumbstats_lbl->text(), "2 - 6 / 7");
    W().next_btnClick();
    EXPECT_EQ(W().thumbstats_lbl->text(), "3 - 7 / 7");
    EXPECT_EQ(Tags(W()), (std::vector<int>{2, 3, 4, 5, 6}));
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(SlotColour(W().ThumbSlots[k]), 0x101010 * (k + 3)) << "slot " << k;
    W().next_btnClick();
    EXPECT_EQ(W().thumbstats_lbl->text(), "3 - 7 / 7");
    EXPECT_EQ(W().FirstThumb, 2);
    W().prev_btnClick();
    EXPECT_EQ(W().thumbstats_lbl->text(), "2 - 6 / 7");
    EXPECT_EQ(SlotColour(W().ThumbSlots[0]), 0x202020);
    EXPECT_EQ(Visible(W()), std::vector<bool>(5, true));
}

TEST_F(TMainDlgTest, ResetEmptiesTheStripAndHidesThePreview) {
    Start();
    AddPictures(7);
    W().next_btnClick();
    W().imgreset_btnClick();
    EXPECT_TRUE(Paths().empty());
    EXPECT_TRUE(Captions().empty());
    EXPECT_EQ(W().FirstThumb, 0);
    EXPECT_EQ(Visible(W()), std::vector<bool>(5, false));
    EXPECT_EQ(Tags(W()), std::vector<int>(5, -1));
    EXPECT_FALSE(W().thumbstats_lbl->isVisible());
    EXPECT_FALSE(W().img->isVisible());
    EXPECT_EQ(W().StatusPanels[0]->text(), "0 pictures");
}

TEST_F(TMainDlgTest, TheStripStaysInsideAListThatShrankAndFollowsItsChanges) {
    Start();
    AddPictures(7);
    W().next_btnClick();
    W().next_btnClick();
    // As Organize deletes: the lists shrink under the strip.
    for (int i = 0; i < 4; ++i) {
        W().PicturePaths.Delete(0);
        W().PictureCaptions.Delete(0);
    }
    for (TImageControl* slot : W().ThumbSlots) slot->Tag = -1;
    W().RefreshThumbStrip();
    EXPECT_EQ(W().FirstThumb, 0);
    EXPECT_EQ(W().thumbstats_lbl->text(), "1 - 3 / 3");
    EXPECT_EQ(SlotColour(W().ThumbSlots[0]), 0x505050) << "picture 5 is first now";
    EXPECT_EQ(Visible(W()), (std::vector<bool>{true, true, true, false, false}));

    W().FirstThumb = 40;
    W().RefreshThumbStrip();
    EXPECT_EQ(W().FirstThumb, 0);

    // A changed list reaches the thumbnails' frame server: the same index, a new picture.
    W().PicturePaths.Set(0, Bmp("new.bmp", 0xABCDEF));
    W().ThumbSlots[0]->Tag = -1;
    W().RefreshThumbStrip();
    EXPECT_EQ(SlotColour(W().ThumbSlots[0]), 0xABCDEF);
}

TEST_F(TMainDlgTest, JumpMovesTheStripOnlyWithSixPicturesOrMore) {
    Start();
    AddPictures(5);
    bool opened = false;
    guitest::WhenModal(
        [&opened](QWidget* d) {
            opened = true;
            static_cast<QDialog*>(d)->reject();
        },
        200);
    W().jump_btnClick();
    guitest::Pump(250);
    EXPECT_FALSE(opened) << "five pictures fit the strip";

    AddPictures(2); // 7 in all (names repeat; duplicates are allowed)
    TJumpDlg* jump = W().Forms.JumpDlg;
    guitest::WhenModal([jump](QWidget*) {
        jump->trk->setValue(2);
        jump->ok_btn->click();
    });
    W().jump_btnClick();
    EXPECT_EQ(W().FirstThumb, 2);
    EXPECT_EQ(W().thumbstats_lbl->text(), "3 - 7 / 7");

    guitest::WhenModal([jump](QWidget*) {
        EXPECT_EQ(jump->trk->value(), 2) << "opens at the strip's position";
        jump->trk->setValue(0);
        jump->cancel_btn->click();
    });
    W().jump_btnClick();
    EXPECT_EQ(W().FirstThumb, 2) << "Cancel leaves the strip where it was";
}

TEST_F(TMainDlgTest, DoubleClickOpensOrganizeOnThatPictureAndRedrawsTheStrip) {
    Start();
    AddPictures(4);
    TReorderDlg* organize = W().Forms.ReorderDlg;
    int selected = -1;
    guitest::WhenModal([organize, &selected](QWidget*) {
        selected = organize->lst->currentRow();
        organize->lst->selectRow(0);
        organize->del_btnClick(); // picture 1 goes
        organize->exit_btn->click();
    });
    emit W().ThumbSlots[2]->doubleClicked();
    EXPECT_EQ(selected, 2);
    EXPECT_EQ(Paths().size(), 3u);
    EXPECT_EQ(W().thumbstats_lbl->text(), "1 - 3 / 3");
    EXPECT_EQ(W().StatusPanels[0]->text(), "3 pictures");
    EXPECT_EQ(SlotColour(W().ThumbSlots[0]), 0x202020);
    EXPECT_EQ(Visible(W()), (std::vector<bool>{true, true, true, false, false}));
}
