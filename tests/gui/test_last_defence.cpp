// The application's last line of defence: an exception that leaves a handler, a slot, a timer
// or a queued call on the UI thread is logged and shown once, and the window goes on with its
// state.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "MainDlgFixture.h"
#include "app/U_Application.h"
#include "platform/U_Shell.h"
#include "platform/base/U_Errors.h"

namespace guitest {
namespace {

// An object whose own event handler throws.
class TThrowingObject : public QObject {
public:
    explicit TThrowingObject(std::string message = "the handler failed")
        : message_(std::move(message)) {}
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) throw EMorvantaError(message_);
        return QObject::event(e);
    }

private:
    std::string message_;
};

class TLastDefenceTest : public TMainDlgTest {
protected:
    void SetUp() override {
        ASSERT_NE(MorvantaApp(), nullptr) << "the tests run under the program's application";
        Start();
        pictures = AddPictures(3);
        caughtBefore = MorvantaApp()->ErrorsCaught();
    }
    bool Logged(const std::string& line) {
        const auto log = LogLines();
        return std::find(log.begin(), log.end(), line) != log.end();
    }
    std::vector<std::string> pictures;
    int caughtBefore = 0;
};

TEST_F(TLastDefenceTest, AnErrorLeavingAnyKindOfHandlerIsLoggedShownAndSurvived) {
    struct Case {
        const char* Way;
        std::function<void(TMainDlg&, const std::string& text)> Throw;
    };
    const Case cases[] = {
        {"slot of a click",
         [](TMainDlg& w, const std::string& text) {
             auto* button = new QPushButton("x", w.centralWidget());
             button->setGeometry(0, 0, 40, 20);
             button->show();
             QObject::connect(button, &QPushButton::clicked,
                              [text] { throw EMorvantaError(text); });
             // As the window system delivers a click: press and release events.
             QTest::mouseClick(button, Qt::LeftButton);
             delete button;
         }},
        {"timer",
         [](TMainDlg& w, const std::string& text) {
             QTimer::singleShot(0, &w, [text] { throw EMorvantaError(text); });
         }},
        {"queued call",
         [](TMainDlg& w, const std::string& text) {
             QMetaObject::invokeMethod(
                 &w, [text] { throw std::runtime_error(text); }, Qt::QueuedConnection);
         }},
        {"event handler",
         [](TMainDlg&, const std::string& text) {
             TThrowingObject target(text);
             QEvent event(QEvent::User);
             QApplication::sendEvent(&target, &event);
         }},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Way);
        const std::string text = c.Way + std::string(" failed");
        Shell.Boxes.clear();
        c.Throw(W(), text);
        Pump(30);
        ++n;
        EXPECT_EQ(MorvantaApp()->ErrorsCaught(), caughtBefore + n);
        ASSERT_EQ(Shell.Boxes.size(), 1u);
        EXPECT_EQ(Shell.Boxes[0].Text.toStdString(), text);
        EXPECT_EQ(Shell.Boxes[0].Kind, mkError);
        EXPECT_TRUE(Logged("Error\t" + text));
        EXPECT_EQ(Paths(), pictures) << "the window keeps its state";
    }
    // And goes on working.
    const std::string more = Bmp("more.bmp");
    W().AddPictureEntries({more});
    EXPECT_EQ(Paths().back(), more);
}

TEST_F(TLastDefenceTest, AFaultThatRepeatsWhileItsBoxIsOpenIsShownOnce) {
    // The box's own event loop delivers the same failing event again before it closes.
    TThrowingObject target;
    ShellHooks().MessageBox = [this, &target](QWidget*, const QString& text, const QString&, bool,
                                              int kind) {
        Shell.Boxes.push_back({text, {}, kind, true});
        QEvent again(QEvent::User);
        QApplication::sendEvent(&target, &again);
        return idOk;
    };
    QEvent first(QEvent::User);
    QApplication::sendEvent(&target, &first);
    EXPECT_EQ(MorvantaApp()->ErrorsCaught(), caughtBefore + 2);
    EXPECT_EQ(Shell.Boxes.size(), 1u);
    const auto log = LogLines();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Error\tthe handler failed"), 2)
        << "every one is logged";
}

TEST_F(TLastDefenceTest, AnErrorOfAnUnknownKindIsShownToo) {
    QTimer::singleShot(0, &W(), [] { throw 42; });
    Pump(30);
    ASSERT_EQ(Shell.Boxes.size(), 1u);
    EXPECT_EQ(Shell.Boxes[0].Text, "Unknown error");
    EXPECT_TRUE(Logged("Error\tUnknown error"));
}

TEST_F(TLastDefenceTest, ADroppedSongThatCannotBeReadIsRefusedAndNothingIsLost) {
    const std::string song = Dir.File("good.mp3");
    WriteMp3(song, 100);
    W().SetSoundtrack(QString::fromStdString(song));
    // An ID3 tag that claims more bytes than the file holds, then nothing.
    const std::string bad = Dir.File("lying-tag.mp3");
    test::WriteFile(bad, {'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F, 1, 2, 3});
    W().DropList = {bad};
    W().FilesDropped();
    ASSERT_EQ(Shell.Boxes.size(), 1u);
    EXPECT_EQ(Shell.Boxes[0].Kind, mkError);
    EXPECT_NE(Shell.Boxes[0].Text.toStdString().find(bad), std::string::npos);
    EXPECT_EQ(W().sound_txt->text().toStdString(), song) << "the previous soundtrack stays";
    EXPECT_EQ(Paths(), pictures);
    EXPECT_TRUE(W().DropList.empty());
    EXPECT_EQ(MorvantaApp()->ErrorsCaught(), caughtBefore) << "caught by the drop itself";
}

} // namespace
} // namespace guitest
