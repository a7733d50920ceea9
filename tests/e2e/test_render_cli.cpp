// morvanta-render's command line: usage errors, defaults taken from a project, and the rules
// it shares with the window.
#include <gtest/gtest.h>

#include <filesystem>

#include "RenderHarness.h"

namespace fs = std::filesystem;
using e2e::Concat;
using e2e::PictureArgs;
using e2e::Render;

TEST(RenderCli, UsageErrorsExitWithTwo) {
    test::TempDir dir;
    const auto pics = e2e::MakePictures(dir, 1);

    auto noOutput = Render(PictureArgs(pics));
    EXPECT_EQ(noOutput.ExitCode, 2);
    EXPECT_NE(noOutput.Err.find("Invalid output file"), std::string::npos) << noOutput.Err;

    for (const char* size : {"640", "640x", "x480", "15x480", "640x8193", "64ax480", "-640x480"}) {
        auto bad = Render(Concat({"-o", dir.File("a.avi"), "--size", size}, PictureArgs(pics)));
        EXPECT_EQ(bad.ExitCode, 2) << size;
    }
    EXPECT_EQ(Render({"--bogus"}).ExitCode, 2);
    EXPECT_EQ(Render({"--effect", "purple", "-o", dir.File("a.avi")}).ExitCode, 2);
    EXPECT_FALSE(fs::exists(dir.File("a.avi")));
}

TEST(RenderCli, UnknownCodecAndEmptyListFailWithOne) {
    test::TempDir dir;
    const auto pics = e2e::MakePictures(dir, 1);
    auto codec = Render(Concat({"-o", dir.File("a.avi"), "-c", "ZZZ"}, PictureArgs(pics)));
    EXPECT_EQ(codec.ExitCode, 1);
    EXPECT_NE(codec.Err.find("No compressor for ZZZ available"), std::string::npos) << codec.Err;

    auto empty = Render(
        {"-o", dir.File("a.avi"), "-p", dir.File("missing.jpg"), "-p", dir.File("notes.txt")});
    EXPECT_EQ(empty.ExitCode, 1);
    EXPECT_NE(empty.Err.find("File not found : " + dir.File("missing.jpg")), std::string::npos);
    EXPECT_NE(empty.Err.find("Empty picture list"), std::string::npos) << empty.Err;
    EXPECT_FALSE(fs::exists(dir.File("a.avi")));
}

TEST(RenderCli, OutputGetsAviExtensionAndNeverTouchesProject) {
    test::TempDir dir;
    const auto pics = e2e::MakePictures(dir, 2);
    const std::string project = dir.File("holiday.mrv");
    test::WriteText(project, pics[0] + "\r\n" + pics[1] + "\tSecond\r\n");
    const auto before = test::ReadFile(project);
    auto result = Render({"-q", "-c", "DIB", "--single-frame", "-o", project, project});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(test::ReadFile(project), before);
    EXPECT_EQ(test::Probe(project + ".avi", "v:0", "stream=nb_frames"), "2");
}

TEST(RenderCli, ProjectPathsResolveAgainstItsFolderAndMissingSoundOnlyWarns) {
    test::TempDir dir;
    fs::create_directory(dir.Path() / "proj");
    const auto pics = e2e::MakePictures(dir, 2);
    fs::copy_file(pics[0], dir.Path() / "proj" / "one.bmp");
    fs::copy_file(pics[1], dir.Path() / "proj" / "two.bmp");
    test::WriteText(dir.File("proj/show.mrv"),
                    ";Sound=gone.mp3\r\n;Output=out/show.avi\r\none.bmp\r\ntwo.bmp\tTwo\r\n");
    fs::create_directory(dir.Path() / "proj" / "out");
    // Run from another folder: nothing may be taken from the working folder.
    auto result = test::Run({"sh", "-c", "cd / && exec \"$0\" -q -c DIB --single-frame \"$1\"",
                             MORVANTA_RENDER_EXE, dir.File("proj/show.mrv")});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_NE(result.Err.find("gone.mp3"), std::string::npos) << "a warning names the soundtrack";
    const std::string out = dir.File("proj/out/show.avi");
    EXPECT_EQ(test::Probe(out, "v:0", "stream=nb_frames"), "2");
    EXPECT_EQ(test::Probe(out, "a", "stream=codec_type"), "") << "no audio stream";
}

TEST(RenderCli, TemporalCheckAndMatchAudioWithoutSoundtrack) {
    test::TempDir dir;
    const auto pics = e2e::MakePictures(dir, 2);
    const std::string out = dir.File("short.avi");
    // 1000 ms at 25 fps is 25 frames per picture: the visual options go, the rate stays.
    auto result = Render(Concat(
        {"-q", "-c", "DIB", "-r", "25", "-t", "1000", "--dynamic", "-o", out}, PictureArgs(pics)));
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_NE(result.Err.find("Visual options disabled due to incompatible temporal settings"),
              std::string::npos);
    EXPECT_EQ(test::Probe(out, "v:0", "stream=nb_frames"), "50") << "no fades: 2 x 25";
    EXPECT_EQ(test::Probe(out, "v:0", "stream=r_frame_rate"), "25/1");

    // Match audio without a soundtrack gives the 100 ms minimum, and says so.
    auto match = Render(Concat(
        {"-q", "-c", "DIB", "-r", "20", "-t", "5000", "--match-audio", "--no-crossfade", "-o", out},
        PictureArgs(pics)));
    ASSERT_EQ(match.ExitCode, 0) << match.Err;
    EXPECT_NE(match.Err.find("Soundtrack too short or too many picture loaded. Using minimal "
                             "picture duration.\nThere is no soundtrack to match: each picture "
                             "lasts 100 ms."),
              std::string::npos)
        << match.Err;
    EXPECT_EQ(test::Probe(out, "v:0", "stream=nb_frames"), "4") << "100 ms at 50 ms per frame";
}

TEST(RenderCli, MatchAudioSpreadsPicturesOverTheSoundtrack) {
    test::TempDir dir;
    const auto pics = e2e::MakePictures(dir, 4);
    const std::string mp3 = dir.File("song.mp3");
    e2e::MakeMp3(mp3, 8.0);
    const std::string out = dir.File("match.avi");
    // 8 s over 4 pictures without fades: 2000 ms each, 10 frames at 5 fps.
    auto result = Render(Concat({"-q", "-c", "DIB", "-r", "5", "--no-crossfade", "--match-audio",
                                 "--size", "64x48", "-s", mp3, "-o", out},
                                PictureArgs(pics)));
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(test::Probe(out, "v:0", "stream=nb_frames"), "40");
    EXPECT_EQ(test::Probe(out, "a:0", "stream=codec_name"), "mp3");
}

TEST(RenderCli, ListCodecsPrintsOneLinePerCodec) {
    auto result = Render({"--list-codecs"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    const std::string lines = "\n" + result.Out;
    for (const char* fcc : {"XVID ", "FMP4 ", "H264 ", "MJPG ", "FFV1 ", "HFYU ", "DIB  "})
        EXPECT_NE(lines.find(std::string("\n") + fcc), std::string::npos) << fcc;
    EXPECT_EQ(result.Out.rfind("XVID ", 0), 0u) << "well-known codecs come first";
}
