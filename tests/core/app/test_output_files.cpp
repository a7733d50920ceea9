// What each ending of a run leaves at and beside the output path. The writer and the
// multiplexing are stood in for by small files, so every ending can be checked on its own.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>

#include "TestSupport.h"
#include "app/U_OutputFiles.h"

namespace fs = std::filesystem;

namespace {

using TFolder = std::map<std::string, std::string>; // file name -> contents

constexpr auto Done = TRenderStatus::Done;
constexpr auto Aborted = TRenderStatus::Aborted;
constexpr auto Failed = TRenderStatus::Failed;

struct EndingCase {
    const char* Name;
    TFolder Before; // the user's files when the run begins
    TRenderStatus Video;
    std::optional<TRenderStatus> Audio; // none: no soundtrack
    TFolder After;
    const char* Kept;    // the file named as kept, "" for none
    const char* Note;    // part of the note, "" when the note must be empty
    TRenderStatus Final; // the status after the files were dealt with
    // A failed render whose frame loop finished the frames written before the failure.
    bool FailedWithFrames = false;
};

TFolder ReadFolder(const fs::path& dir) {
    TFolder folder;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const auto bytes = test::ReadFile(entry.path().string());
        folder[entry.path().filename().string()] = std::string(bytes.begin(), bytes.end());
    }
    return folder;
}

class RunEndings : public ::testing::TestWithParam<EndingCase> {};

} // namespace

TEST_P(RunEndings, LeaveTheUsersFilesAndNameWhatWasKept) {
    const EndingCase& c = GetParam();
    test::TempDir dir;
    for (const auto& [name, text] : c.Before) test::WriteText(dir.File(name), text);
    const std::string output = dir.File("show.avi");

    TRunFiles files = BeginRunFiles(output);
    EXPECT_EQ(files.KeepsEarlierFile, c.Before.count("show.avi") == 1);
    // The writer's Close puts the video at VideoFile; a failed render leaves nothing there unless
    // it had frames to finish.
    if (c.Video != Failed || c.FailedWithFrames) test::WriteText(files.VideoFile, "VIDEO");
    TPhaseEnd end = EndVideoPhase(files, c.Video, c.Audio.has_value());
    if (c.Audio && c.Video == Done) {
        EXPECT_EQ(end.Status, Done);
        ASSERT_NO_THROW(BeginAudioPhase(files));
        EXPECT_EQ(test::ReadFile(files.IntermediateFile).size(), 5u) << "the video moved aside";
        const char* muxed = *c.Audio == Done ? "MUXED" : *c.Audio == Aborted ? "PARTMUX" : "BROKEN";
        test::WriteText(files.MuxFile, muxed);
        end = EndAudioPhase(files, *c.Audio);
    }

    EXPECT_EQ(ReadFolder(dir.Path()), c.After);
    EXPECT_EQ(end.Status, c.Final);
    EXPECT_EQ(end.KeptFile, std::string(c.Kept).empty() ? "" : dir.File(c.Kept));
    if (std::string(c.Note).empty())
        EXPECT_EQ(end.Note, "");
    else
        EXPECT_NE(end.Note.find(c.Note), std::string::npos) << end.Note;
}

INSTANTIATE_TEST_SUITE_P(
    Endings, RunEndings,
    ::testing::Values(
        // Nothing at the output path: the video goes there, whatever becomes of the run.
        EndingCase{"NewDone", {}, Done, {}, {{"show.avi", "VIDEO"}}, "show.avi", "", Done},
        EndingCase{"NewStopped",
                   {},
                   Aborted,
                   {},
                   {{"show.avi", "VIDEO"}},
                   "show.avi",
                   "The unfinished video was kept at ",
                   Aborted},
        EndingCase{"NewFailed", {}, Failed, {}, {}, "", "", Failed},
        EndingCase{"NewFailedWithFrames",
                   {},
                   Failed,
                   {},
                   {{"show.avi", "VIDEO"}},
                   "show.avi",
                   "The unfinished video was kept at ",
                   Failed,
                   true},
        EndingCase{"NewSoundDone", {}, Done, Done, {{"show.avi", "MUXED"}}, "show.avi", "", Done},
        EndingCase{"NewSoundFailedPutsTheSilentVideoBack",
                   {},
                   Done,
                   Failed,
                   {{"show.avi", "VIDEO"}},
                   "show.avi",
                   "The video without sound was kept at ",
                   Failed},
        EndingCase{"NewSoundStoppedKeepsBoth",
                   {},
                   Done,
                   Aborted,
                   {{"show.avi", "PARTMUX"}, {"temp.avi", "VIDEO"}},
                   "temp.avi",
                   "with sound was kept at ",
                   Aborted},
        // An earlier file: replaced only by a complete job, else untouched with the work beside.
        EndingCase{"EarlierDone",
                   {{"show.avi", "EARLIER"}},
                   Done,
                   {},
                   {{"show.avi", "VIDEO"}},
                   "show.avi",
                   "",
                   Done},
        EndingCase{"EarlierStopped",
                   {{"show.avi", "EARLIER"}},
                   Aborted,
                   {},
                   {{"show.avi", "EARLIER"}, {"show.partial.avi", "VIDEO"}},
                   "show.partial.avi",
                   "show.partial.avi; ",
                   Aborted},
        EndingCase{"EarlierFailed",
                   {{"show.avi", "EARLIER"}},
                   Failed,
                   {},
                   {{"show.avi", "EARLIER"}},
                   "",
                   "show.avi is unchanged.",
                   Failed},
        EndingCase{"EarlierFailedWithFrames",
                   {{"show.avi", "EARLIER"}},
                   Failed,
                   {},
                   {{"show.avi", "EARLIER"}, {"show.partial.avi", "VIDEO"}},
                   "show.partial.avi",
                   "show.partial.avi; ",
                   Failed,
                   true},
        EndingCase{"EarlierStoppedBesideTheUsersPartial",
                   {{"show.avi", "EARLIER"}, {"show.partial.avi", "MINE"}},
                   Aborted,
                   {},
                   {{"show.avi", "EARLIER"},
                    {"show.partial.avi", "MINE"},
                    {"show.partial-1.avi", "VIDEO"}},
                   "show.partial-1.avi",
                   "show.partial-1.avi",
                   Aborted},
        EndingCase{"EarlierSoundDone",
                   {{"show.avi", "EARLIER"}},
                   Done,
                   Done,
                   {{"show.avi", "MUXED"}},
                   "show.avi",
                   "",
                   Done},
        EndingCase{"EarlierSoundFailed",
                   {{"show.avi", "EARLIER"}},
                   Done,
                   Failed,
                   {{"show.avi", "EARLIER"}, {"show.silent.avi", "VIDEO"}},
                   "show.silent.avi",
                   "without sound was kept at ",
                   Failed},
        EndingCase{"EarlierSoundStopped",
                   {{"show.avi", "EARLIER"}},
                   Done,
                   Aborted,
                   {{"show.avi", "EARLIER"},
                    {"show.partial.avi", "PARTMUX"},
                    {"show.silent.avi", "VIDEO"}},
                   "show.silent.avi",
                   "show.avi is unchanged.",
                   Aborted},
        EndingCase{"EarlierSoundFailedAmongTheUsersFiles",
                   {{"show.avi", "EARLIER"}, {"temp.avi", "T"}, {"show.silent.avi", "S"}},
                   Done,
                   Failed,
                   {{"show.avi", "EARLIER"},
                    {"temp.avi", "T"},
                    {"show.silent.avi", "S"},
                    {"show.silent-1.avi", "VIDEO"}},
                   "show.silent-1.avi",
                   "show.silent-1.avi",
                   Failed},
        EndingCase{"EarlierVideoStoppedBeforeTheSoundtrack",
                   {{"show.avi", "EARLIER"}},
                   Aborted,
                   Done,
                   {{"show.avi", "EARLIER"}, {"show.partial.avi", "VIDEO"}},
                   "show.partial.avi",
                   "show.avi is unchanged.",
                   Aborted}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(RunFiles, NamesBesideTheOutput) {
    EXPECT_EQ(BesideName("show.avi", "partial", 0), "show.partial.avi");
    EXPECT_EQ(BesideName("/v/my.trip.avi", "silent", 2), "/v/my.trip.silent-2.avi");
    EXPECT_EQ(BesideName("/v/noext", "partial", 0), "/v/noext.partial.avi");
    EXPECT_EQ(BesideName("/v.d/clip", "partial", 1), "/v.d/clip.partial-1.avi");
}

TEST(RunFiles, AFolderInTheWayIsLeftForTheWriterToRefuse) {
    test::TempDir dir;
    fs::create_directory(dir.Path() / "show.avi");
    const TRunFiles files = BeginRunFiles(dir.File("show.avi"));
    EXPECT_FALSE(files.KeepsEarlierFile);
    EXPECT_EQ(files.VideoFile, dir.File("show.avi"));
}

TEST(RunFiles, AFailedMoveAsideKeepsTheSilentVideoBesideTheEarlierFile) {
    test::TempDir dir;
    test::WriteText(dir.File("show.avi"), "EARLIER");
    TRunFiles files = BeginRunFiles(dir.File("show.avi"));
    test::WriteText(files.VideoFile, "VIDEO");
    EndVideoPhase(files, Done, true);
    fs::remove(files.VideoFile); // the move aside cannot find the video
    EXPECT_ANY_THROW(BeginAudioPhase(files));
    test::WriteText(files.VideoFile, "VIDEO");
    const TPhaseEnd end = EndAudioPhase(files, Failed);
    EXPECT_EQ(end.KeptFile, dir.File("show.silent.avi"));
    EXPECT_EQ(ReadFolder(dir.Path()),
              (TFolder{{"show.avi", "EARLIER"}, {"show.silent.avi", "VIDEO"}}));
}
