// Whole runs driven from the window: the video thread with its progress and preview, the
// soundtrack's multiplexing, Cancel, failures in either thread, and closing during a run. The
// files are checked with ffprobe.
#include <gtest/gtest.h>

#include <QThread>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "TestSupport.h"
#include "platform/U_QtDispatcher.h"
#include "platform/U_Shell.h"
#include "platform/base/U_Errors.h"
#include "platform/os/U_Thread.h"
#include "test_gen_control_fixture.h"

namespace guitest {
namespace {

namespace fs = std::filesystem;

// The files in `folder` whose names start with `prefix`.
std::vector<std::string> FilesStartingWith(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0) names.push_back(name);
    }
    return names;
}

int Frames(const std::string& file) {
    const std::string count = test::Probe(file, "v:0", "stream=nb_read_frames", true);
    return count.empty() ? -1 : std::stoi(count);
}

class TGenRunTest : public TGenControlTest {};

TEST_F(TGenRunTest, ASilentRunShowsProgressThenEndsBeforeTheDoneDialog) {
    Prepare(3, 500, 10); // 5 frames a picture
    std::vector<QString> states;
    int previews = 0;
    QObject::connect(W().pb, &QProgressBar::valueChanged, W().pb, [&](int value) {
        states.push_back(W().StatusPanels[1]->text());
        if (value > 0 && W().img->isVisible() && !W().img->Picture().isNull()) ++previews;
        EXPECT_FALSE(W().go_btn->isEnabled());
        EXPECT_TRUE(W().cancel_btn->isEnabled());
    });
    ASSERT_TRUE(Go());
    EXPECT_TRUE(Shell.Boxes.empty()) << BoxTexts().front();
    ASSERT_EQ(DoneShown, std::vector<std::string>{Out()});
    EXPECT_TRUE(RunEndedBeforeDone) << "controls back and status cleared before the dialog";
    EXPECT_TRUE(Idle());
    EXPECT_EQ(W().pb->value(), 0);
    EXPECT_EQ(W().pb->maximum(), 15);
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.front(), "Processing Video");
    EXPECT_EQ(previews, 14) << "frames 1 to 14 each brought a preview";
    EXPECT_EQ(W().img->Picture().size(), QSize(320, 240));
    EXPECT_EQ(Frames(Out()), 15);
    EXPECT_EQ(FilesStartingWith(Dir.Path().string(), "out"), std::vector<std::string>{"out.avi"});
}

TEST_F(TGenRunTest, ARunWithASoundtrackEndsWithVideoAndAudioAndNoIntermediateFile) {
    Prepare(2, 500, 10);
    const std::string song = Dir.File("song.mp3");
    WriteMp3(song, 60);
    W().SetSoundtrack(QString::fromStdString(song));
    ASSERT_EQ(W().sound_txt->text().toStdString(), song);
    std::vector<QString> states;
    QObject::connect(W().pb, &QProgressBar::valueChanged, W().pb,
                     [&](int) { states.push_back(W().StatusPanels[1]->text()); });
    ASSERT_TRUE(Go());
    EXPECT_TRUE(Shell.Boxes.empty()) << BoxTexts().front();
    ASSERT_EQ(DoneShown, std::vector<std::string>{Out()});
    EXPECT_TRUE(RunEndedBeforeDone);
    EXPECT_TRUE(Idle());
    EXPECT_NE(std::find(states.begin(), states.end(), "Processing Audio"), states.end());
    EXPECT_FALSE(W().img->isVisible()) << "the preview goes with the video phase";
    EXPECT_EQ(test::Probe(Out(), "", "stream=codec_type"), "video\naudio");
    EXPECT_EQ(test::Probe(Out(), "a:0", "stream=codec_name"), "mp3");
    EXPECT_EQ(FilesStartingWith(Dir.Path().string(), "temp"), std::vector<std::string>{});
    EXPECT_EQ(FilesStartingWith(Dir.Path().string(), "out"), std::vector<std::string>{"out.avi"});
}

TEST_F(TGenRunTest, CancelInTheVideoPhaseKeepsThePartialVideoAndAnyEarlierOne) {
    for (bool earlier : {false, true}) {
        Prepare(4, 1000, 10); // 40 frames
        const std::vector<std::uint8_t> before = {'o', 'l', 'd', 0, 1, 2};
        if (earlier) test::WriteFile(Out(), before);
        AtPosition(3, [this] { W().cancel_btn->click(); });
        ASSERT_TRUE(Go());
        const std::string kept = earlier ? Dir.File("out.partial.avi") : Out();
        ASSERT_EQ(Shell.Boxes.size(), 1u);
        EXPECT_EQ(BoxTexts()[0], "Aborted by user.\nThe unfinished video was kept at " + kept +
                                     (earlier ? "; " + Out() + " is unchanged." : "."));
        EXPECT_TRUE(DoneShown.empty());
        EXPECT_TRUE(Idle());
        EXPECT_EQ(Frames(kept), 4) << "frames 0 to 3, then the stop";
        if (earlier) {
            EXPECT_EQ(test::ReadFile(Out()), before);
        }
        Shell.Boxes.clear();
        Window.reset();
        fs::remove(Out());
        fs::remove(Dir.File("out.partial.avi"));
    }
}

TEST_F(TGenRunTest, CancelWhileTheSoundtrackIsAddedKeepsBothFiles) {
    Prepare(2, 500, 10);
    const std::string song = Dir.File("song.mp3");
    WriteMp3(song, 400);
    W().SetSoundtrack(QString::fromStdString(song));
    QObject::connect(W().pb, &QProgressBar::valueChanged, W().pb, [this] {
        if (W().StatusPanels[1]->text() == "Processing Audio" && W().cancel_btn->isEnabled())
            W().cancel_btn->click();
    });
    ASSERT_TRUE(Go());
    ASSERT_EQ(Shell.Boxes.size(), 1u);
    EXPECT_EQ(BoxTexts()[0].rfind("Aborted by user.\n", 0), 0u) << BoxTexts()[0];
    EXPECT_TRUE(DoneShown.empty());
    EXPECT_TRUE(Idle());
    EXPECT_EQ(FilesStartingWith(Dir.Path().string(), "temp"), std::vector<std::string>{"temp.avi"});
    EXPECT_EQ(Frames(Dir.File("temp.avi")), 10) << "the silent video is whole";
}

TEST_F(TGenRunTest, AFailingPictureIsReportedAndNeverAsSuccess) {
    struct Case {
        int Broken;   // the picture that cannot be read
        bool MidRun;  // broken once the render is under way, else from the start
        bool Earlier; // a video was at the output path before the run
    };
    // A failure at the first frame leaves the bar at 0: only the thread's error tells it, and
    // the earlier video's size must not pass for a rendered one.
    for (const Case& c :
         {Case{2, true, false}, Case{2, true, true}, Case{0, false, false}, Case{0, false, true}}) {
        Prepare(4, 1000, 10);
        const std::string broken = Pictures[static_cast<std::size_t>(c.Broken)];
        const std::vector<std::uint8_t> before(5000, 7);
        if (c.Earlier) test::WriteFile(Out(), before);
        if (c.MidRun)
            AtPosition(1, [&broken] { test::WriteText(broken, "no longer a picture"); });
        else
            test::WriteText(broken, "BM but not a picture");
        ASSERT_TRUE(Go());
        ASSERT_EQ(Shell.Boxes.size(), 1u);
        const std::string text = BoxTexts()[0];
        EXPECT_EQ(text.rfind("An error has occured. Please reset the application.\n", 0), 0u)
            << text;
        EXPECT_NE(text.find(broken), std::string::npos) << "the error's own text: " << text;
        EXPECT_EQ(Shell.Boxes[0].Kind, mkError);
        EXPECT_TRUE(DoneShown.empty()) << "a failure is never a success";
        EXPECT_TRUE(Idle());
        EXPECT_EQ(W().pb->value(), 0);
        if (c.Earlier) {
            EXPECT_EQ(test::ReadFile(Out()), before);
        }
        // The frames made before a mid-run failure are kept as a video, as a stop keeps them.
        const std::string kept = c.Earlier ? Dir.File("out.partial.avi") : Out();
        std::string note;
        if (c.MidRun) note = "The unfinished video was kept at " + kept + (c.Earlier ? "; " : ".");
        if (c.Earlier) note += Out() + " is unchanged.";
        if (!note.empty()) {
            EXPECT_EQ(text.substr(text.rfind('\n') + 1), note);
        }
        std::vector<std::string> files = {};
        if (c.Earlier) files.push_back("out.avi");
        if (c.MidRun) {
            EXPECT_GE(Frames(kept), 2) << "readable, with the frames written";
            files.push_back(c.Earlier ? "out.partial.avi" : "out.avi");
        }
        auto found = FilesStartingWith(Dir.Path().string(), "out");
        std::sort(files.begin(), files.end());
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, files);
        const auto log = LogLines();
        EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&broken](const std::string& line) {
            return line.rfind("Error\t", 0) == 0 && line.find(broken) != std::string::npos;
        })) << "the failure is logged";
        Shell.Boxes.clear();
        Window.reset();
        for (const auto& name : found) fs::remove(Dir.File(name));
    }
}

TEST_F(TGenRunTest, AFailedMultiplexingKeepsTheSilentVideoAndOpensNoDoneDialog) {
    Prepare(2, 500, 10);
    const std::string song = Dir.File("song.mp3");
    WriteMp3(song, 60);
    W().SetSoundtrack(QString::fromStdString(song));
    // The soundtrack loses its frames while the video is rendered.
    AtPosition(1, [&song] { test::WriteFile(song, std::vector<std::uint8_t>(4000, 0)); });
    ASSERT_TRUE(Go());
    ASSERT_EQ(Shell.Boxes.size(), 1u);
    const std::string text = BoxTexts()[0];
    EXPECT_EQ(text.rfind("No MPEG audio frame found in " + song, 0), 0u) << text;
    EXPECT_NE(text.find("The video without sound was kept at " + Out() + "."), std::string::npos)
        << text;
    EXPECT_TRUE(DoneShown.empty());
    EXPECT_TRUE(Idle());
    EXPECT_EQ(test::Probe(Out(), "", "stream=codec_type"), "video");
    EXPECT_EQ(Frames(Out()), 10);
    EXPECT_EQ(FilesStartingWith(Dir.Path().string(), "temp"), std::vector<std::string>{});
}

TEST_F(TGenRunTest, ClosingDuringARunStopsItAndClosesWhenItHasEnded) {
    Prepare(4, 1000, 10);
    W().show();
    bool closeRefused = false;
    AtPosition(2, [&] { closeRefused = !W().close(); });
    W().go_btn->click();
    ASSERT_TRUE(SpinUntil([this] { return !W().isVisible(); }));
    EXPECT_TRUE(closeRefused) << "the close waits for the worker's end handler";
    ASSERT_TRUE(WaitForRunEnd());
    EXPECT_TRUE(Shell.Boxes.empty()) << "nothing is asked of a user who is leaving";
    EXPECT_TRUE(DoneShown.empty());
    EXPECT_EQ(Frames(Out()), 3);
    Window.reset(); // frees what the finished worker used
}

} // namespace
} // namespace guitest

namespace guitest {
namespace {

// A worker whose synchronised call throws: the error must come back to the worker, and the end
// handler must still run on the main thread.
class TThrowingCall : public TThread {
public:
    using TThread::TThread;
    std::string Caught;
    bool CallOnMain = false;

protected:
    void Execute() override {
        try {
            Synchronize([this] {
                CallOnMain = QThread::currentThread() == qApp->thread();
                throw EMorvantaError("refused on the main thread");
            });
        } catch (const EMorvantaError& e) {
            Caught = e.what();
        }
        Synchronize([] { throw EMorvantaError("left unhandled"); });
    }
};

TEST_F(TGenRunTest, TheDispatcherHandsAnErrorOfTheSynchronisedCallBackToTheWorker) {
    Start();
    TThrowingCall worker(W().Dispatcher);
    bool handlerOnMain = false;
    worker.OnTerminate = [&](TThread&) {
        handlerOnMain = QThread::currentThread() == qApp->thread();
    };
    worker.Start();
    ASSERT_TRUE(SpinUntil([&] { return worker.Finished(); }, 5000));
    EXPECT_TRUE(worker.CallOnMain);
    EXPECT_EQ(worker.Caught, "refused on the main thread");
    EXPECT_TRUE(handlerOnMain);
    EXPECT_EQ(worker.FatalMessage(), "left unhandled") << "kept as the thread's error";
    worker.WaitFor();
}

} // namespace
} // namespace guitest
