// morvanta-render's look options: pictures' own times, the options over a project's look, and
// values it refuses.
#include <gtest/gtest.h>

#include "RenderHarness.h"
#include "TestSupport.h"

TEST(RenderLook, OwnTimesAndTheLooksOptionsMakeTheShow) {
    test::TempDir dir;
    const auto pics = e2e::MakePictures(dir, 3);
    // A project asking for cuts after picture 1 and a blurred fill; the command line adds
    // the rest. 10 fps: picture 1 lasts 50 frames (its own 5 s) with a 12-frame iris after it,
    // picture 2 30 frames and a cut, picture 3 20 frames (-p's own 2 s).
    const std::string project = dir.File("show.mrv");
    test::WriteText(project, ";Fill=blur\r\n;Picture=1:time=5000\r\n;Picture=2:transition=cut\r\n" +
                                 pics[0] + "\r\n" + pics[1] + "\r\n");
    const std::string out = dir.File("show.avi");
    auto result = e2e::Render({"-q",
                               "-c",
                               "DIB",
                               "--size",
                               "160x120",
                               "-r",
                               "10",
                               "-t",
                               "3000",
                               "--transition",
                               "iris",
                               "--motion",
                               "zoom-in",
                               "--ease",
                               "--caption-edge",
                               "shadow",
                               "--no-counter",
                               "-p",
                               pics[2] + "\tLast\t2000",
                               "-o",
                               out,
                               project});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(test::Probe(out, "v:0", "stream=nb_read_frames", true), "112");
    EXPECT_EQ(e2e::DecodeErrors(out), "");

    // A value no option takes is a usage error naming it; nothing is written.
    const std::string bad = dir.File("bad.avi");
    for (const auto& args : std::vector<std::vector<std::string>>{{"--transition", "teleport"},
                                                                  {"--caption-size", "300"},
                                                                  {"--fill", "stretch"},
                                                                  {"--caption-colour", "#12"}}) {
        auto refused = e2e::Render({"-q", "-o", bad, args[0], args[1], pics[0]});
        EXPECT_EQ(refused.ExitCode, 2) << args[0];
        EXPECT_NE(refused.Err.find(args[1]), std::string::npos) << refused.Err;
    }
    EXPECT_FALSE(std::filesystem::exists(bad));
}

TEST(RenderLook, PictureSettingsFollowTheCaptionInPictureEntries) {
    test::TempDir dir;
    const auto pics = e2e::MakePictures(dir, 3);
    const std::vector<std::string> common = {"-q", "-c", "DIB", "--size", "160x120",
                                             "-r", "10", "-t",  "3000"};
    // Picture 1: its own 4 s and a cut after it; picture 2: its own 2 s, zooming, and the
    // show's fade (6 frames); picture 3: the show's 3 s. 40 + 20 + 6 + 30 frames.
    const std::string out = dir.File("show.avi");
    auto result =
        e2e::Render(e2e::Concat(common, {"-p", pics[0] + "\tOne\t4000\ttransition=cut", "-p",
                                         pics[1] + "\tTwo\ttime=2000,motion=zoom-in", "-p",
                                         pics[2] + "\tThree", "-o", out}));
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(test::Probe(out, "v:0", "stream=nb_read_frames", true), "96");

    // The settings never reach the caption: the same frames as the caption alone.
    const auto frames = [&](const std::string& entry) {
        const std::string file = dir.File("one.avi");
        auto made = e2e::Render(e2e::Concat(common, {"-p", entry, "-o", file}));
        EXPECT_EQ(made.ExitCode, 0) << made.Err;
        return test::Run({"ffmpeg", "-v", "error", "-i", file, "-f", "framemd5", "-"}).Out;
    };
    const std::string plain = frames(pics[0] + "\tOne");
    EXPECT_EQ(frames(pics[0] + "\tOne\tfill=bands,motion=still"), plain);
    EXPECT_NE(frames(pics[0] + "\tOne fill=bands"), plain) << "a caption that differs";

    // A mistyped setting is a usage error naming it, and nothing is written.
    const std::string bad = dir.File("bad.avi");
    auto refused = e2e::Render({"-q", "-o", bad, "-p", pics[0] + "\tOne\ttransition=teleport"});
    EXPECT_EQ(refused.ExitCode, 2);
    EXPECT_NE(refused.Err.find("transition=teleport"), std::string::npos) << refused.Err;
    EXPECT_FALSE(std::filesystem::exists(bad));
}
