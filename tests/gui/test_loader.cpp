// The "Thumbnails" loader with its worker thread, over a real frame server and real images.
#include <QApplication>
#include <QKeyEvent>
#include <QProgressBar>
#include <QThread>
#include <memory>

#include "GuiTestSupport.h"
#include "MainDlgFixture.h"
#include "TestPictures.h"
#include "TestSupport.h"
#include "pictures/U_LoaderDlg.h"
#include "platform/U_Controls.h"
#include "video/U_FrameServer.h"

namespace {

class LoaderTest : public ::testing::Test {
protected:
    LoaderTest() {
        for (auto& slot : images) {
            slot = std::make_unique<TImageControl>(&strip);
            slot->resize(100, 75);
        }
        for (int k = 0; k < 5; ++k) dialog.ThumbSlots[k] = images[k].get();
        dialog.ThumbServer = &server;
        strip.show();
    }

    // Pictures of colours 0x101010, 0x202020, ...
    void AddPictures(int count) {
        for (int i = 1; i <= count; ++i) {
            const std::string path = dir.File("p" + std::to_string(i) + ".bmp");
            test::WriteBmp24(path, test::MakeSolid(40, 30, 0x101010u * static_cast<unsigned>(i)));
            paths.Add(path);
        }
    }

    std::vector<int> Tags() const {
        std::vector<int> tags;
        for (const auto& slot : images) tags.push_back(slot->Tag);
        return tags;
    }

    test::TempDir dir;
    TStringList paths;
    TFrameServer server{paths, nullptr, 1, 75, 100};
    QWidget strip;
    std::array<std::unique_ptr<TImageControl>, 5> images;
    TLoaderDlg dialog;
};

} // namespace

TEST_F(LoaderTest, DrawsTheSlotsOnTheMainThreadWithProgressFromZeroToTheLast) {
    AddPictures(3);
    std::vector<int> values;
    bool allOnMainThread = true;
    QObject::connect(dialog.pb, &QProgressBar::valueChanged, [&](int v) {
        values.push_back(v);
        allOnMainThread = allOnMainThread && QThread::currentThread() == qApp->thread();
    });
    dialog.FirstIndex = 0;
    dialog.LastIndex = 2;
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.pb->maximum(), 2);
    EXPECT_EQ(values, (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(allOnMainThread) << "the worker never touches the bar itself";
    EXPECT_EQ(Tags(), (std::vector<int>{0, 1, 2, -1, -1}));
    for (int k = 0; k < 3; ++k) {
        EXPECT_TRUE(images[k]->isVisible());
        EXPECT_EQ(images[k]->Picture().pixel(50, 37) & 0xFFFFFF, 0x101010u * (k + 1));
    }
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(dialog.Running());
}

TEST_F(LoaderTest, SlotsThatShowTheirPictureAreLeftAlone) {
    AddPictures(5);
    QImage sentinel(100, 75, QImage::Format_RGB32);
    sentinel.fill(Qt::red);
    for (int k = 0; k < 4; ++k) {
        images[k]->Tag = k + 1;
        images[k]->SetPicture(sentinel);
    }
    images[3]->Tag = 7; // shows another picture
    bool shown = false;
    QObject::connect(dialog.pb, &QProgressBar::valueChanged, [&] { shown = dialog.isVisible(); });
    dialog.FirstIndex = 1;
    dialog.LastIndex = 4;
    dialog.Execute();
    EXPECT_TRUE(shown) << "the dialog opens even when little is drawn";
    for (int k = 0; k < 3; ++k) EXPECT_EQ(images[k]->Picture(), sentinel) << "slot " << k;
    EXPECT_EQ(Tags(), (std::vector<int>{1, 2, 3, 4, -1}));
    EXPECT_EQ(images[3]->Picture().pixel(50, 37) & 0xFFFFFF, 0x505050u);
}

TEST_F(LoaderTest, AnUnreadablePictureEndsThePassWithItsSlotHiddenAndNoMessage) {
    guitest::TShellRecorder shell;
    AddPictures(1);
    const std::string broken = dir.File("broken.jpg");
    test::WriteText(broken, "not a jpeg at all");
    paths.Add(broken);
    AddPictures(1); // p1.bmp again after it
    dialog.FirstIndex = 0;
    dialog.LastIndex = 2;
    dialog.Execute();
    EXPECT_EQ(Tags(), (std::vector<int>{0, -1, -1, -1, -1}));
    EXPECT_TRUE(images[0]->isVisible());
    EXPECT_FALSE(images[1]->isVisible()) << "the slot being drawn stays hidden";
    EXPECT_TRUE(images[2]->Picture().isNull()) << "the following images are not drawn";
    EXPECT_TRUE(shell.Boxes.empty());
    EXPECT_FALSE(dialog.isVisible());

    // The next pass tries the same slot again.
    paths.Set(1, dir.File("p1.bmp"));
    dialog.Execute();
    EXPECT_EQ(Tags(), (std::vector<int>{0, 1, 2, -1, -1}));
}

TEST_F(LoaderTest, NothingToDrawStillClosesTheDialog) {
    AddPictures(2);
    dialog.FirstIndex = 1;
    dialog.LastIndex = 0;
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(Tags(), std::vector<int>(5, -1));
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(LoaderTest, EveryCloseRequestIsRefusedWhileItWorks) {
    AddPictures(5);
    int attempts = 0;
    bool stayed = true;
    QObject::connect(dialog.pb, &QProgressBar::valueChanged, [&](int v) {
        if (v != 2) return;
        dialog.close();  // close box, system menu, Alt+F4
        dialog.reject(); // what Escape does
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &escape);
        attempts = 3;
        stayed = dialog.isVisible() && dialog.Running();
    });
    dialog.FirstIndex = 0;
    dialog.LastIndex = 4;
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(attempts, 3);
    EXPECT_TRUE(stayed);
    EXPECT_EQ(Tags(), (std::vector<int>{0, 1, 2, 3, 4})) << "the pass went on to the end";
    EXPECT_FALSE(dialog.isVisible()) << "and the dialog closed by itself";
}

// A pass asked for once the last one has ended but before its loop has returned (a drop or a
// click served in the same turn, here its end signal) runs after it, behind its own dialog: a
// second exec inside the first returned at once and left the strip loading behind no dialog,
// and a start from within the end handler waited for itself for ever.
TEST_F(LoaderTest, APassAskedForAsTheLastEndsRunsBehindItsDialog) {
    AddPictures(8);
    bool asked = false;
    std::vector<bool> shownWhileDrawing;
    QObject::connect(&dialog, &QDialog::finished, [&] {
        if (asked) return;
        asked = true;
        dialog.FirstIndex = 3;
        dialog.LastIndex = 7;
        dialog.Execute();
    });
    // Slots 1 to 4 of the second pass, each drawn after its bar moved.
    QObject::connect(dialog.pb, &QProgressBar::valueChanged, [&](int v) {
        if (asked && v > 0) shownWhileDrawing.push_back(dialog.isVisible() && dialog.isModal());
    });
    dialog.FirstIndex = 0;
    dialog.LastIndex = 2;
    EXPECT_TRUE(dialog.Execute());
    ASSERT_TRUE(asked);
    EXPECT_EQ(Tags(), (std::vector<int>{3, 4, 5, 6, 7})) << "the second pass was drawn";
    EXPECT_EQ(shownWhileDrawing, std::vector<bool>(4, true));
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(dialog.Running());
}

using guitest::TMainDlgTest;

TEST_F(TMainDlgTest, TheMainWindowCannotCloseWhileThumbnailsLoad) {
    Start();
    bool refused = false;
    QObject::connect(W().Forms.LoaderDlg->pb, &QProgressBar::valueChanged, [&](int v) {
        if (v == 1) refused = !W().close() && W().isVisible();
    });
    AddPictures(3);
    EXPECT_TRUE(refused);
    EXPECT_TRUE(W().isVisible());
    EXPECT_TRUE(W().close()) << "and can once they are drawn";
}
