#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "app/U_Project.h"
#include "platform/base/U_Errors.h"

namespace {

std::string FileText(const std::string& path) {
    const auto bytes = test::ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

} // namespace

TEST(Project, SaveWritesTheHeaderThenOneLinePerPicture) {
    const std::vector<std::string> paths = {"/p/beach.jpg", "/p/dinner.jpg", "/p/cleared.bmp"};
    const std::vector<std::string> captions = {"beach.jpg", "Dinner on the terrace", ""};
    EXPECT_EQ(FormatProject(TEffect::Greyscale, "/m/theme.mp3", "/v/holiday.avi", paths, captions),
              ";Effect=GreyScale\r\n;Sound=/m/theme.mp3\r\n;Output=/v/holiday.avi\r\n"
              "/p/beach.jpg\r\n/p/dinner.jpg\tDinner on the terrace\r\n/p/cleared.bmp\t\r\n");
    EXPECT_EQ(FormatProject(TEffect::Sepia, "", "", {}, {}),
              ";Effect=Sepia\r\n;Sound=\r\n;Output=\r\n");
    EXPECT_EQ(FormatProject(TEffect::None, "", "", {"/p/a.jpg"}, {"A.jpg"}),
              ";Sound=\r\n;Output=\r\n/p/a.jpg\tA.jpg\r\n")
        << "the caption comparison is case-sensitive";
}

TEST(Project, SavedProjectLoadsBackTheSame) {
    test::TempDir dir;
    const std::vector<std::string> paths = {dir.File("a.jpg"), "/elsewhere/b.BMP",
                                            dir.File("a.jpg")};
    const std::vector<std::string> captions = {"a.jpg", "Tab\tinside", "again"};
    const std::string written = SaveProject(dir.File("holiday"), TEffect::Sepia, "/m/x.mp3",
                                            dir.File("out.avi"), paths, captions);
    EXPECT_EQ(written, dir.File("holiday.mrv"));

    const TProject project = LoadProject(written);
    EXPECT_EQ(project.Effect, TEffect::Sepia);
    EXPECT_EQ(project.Sound, "/m/x.mp3");
    EXPECT_EQ(project.Output, dir.File("out.avi"));
    ASSERT_EQ(project.Entries.size(), paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const TPictureEntry entry = SplitPictureEntry(project.Entries[i]);
        EXPECT_EQ(entry.Path, paths[i]);
        EXPECT_EQ(entry.Caption, captions[i]);
    }

    // Saving again replaces the file.
    SaveProject(written, TEffect::None, "", "", {}, {});
    EXPECT_EQ(FileText(written), ";Sound=\r\n;Output=\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1)
        << "no temporary file is left";
}

TEST(Project, MrvIsAppendedUnlessTheExtensionIsExactlyMrv) {
    EXPECT_EQ(WithExactExtension("holiday", ".mrv"), "holiday.mrv");
    EXPECT_EQ(WithExactExtension("holiday.MRV", ".mrv"), "holiday.MRV.mrv");
    EXPECT_EQ(WithExactExtension("holiday.mrv", ".mrv"), "holiday.mrv");
    EXPECT_EQ(WithExactExtension("clip.AVI", ".avi"), "clip.AVI.avi");
    test::TempDir dir;
    EXPECT_EQ(SaveProject(dir.File("holiday.MRV"), TEffect::None, "", "", {}, {}),
              dir.File("holiday.MRV.mrv"));
    EXPECT_TRUE(std::filesystem::exists(dir.File("holiday.MRV.mrv")));
}

TEST(Project, HeaderRules) {
    // Any line ending, later lines override, unknown and misspelt header lines are ignored.
    TProject p = ParseProject(";Sound=/a.mp3\r;effect=Sepia\n;Effect=Sepia\r\n;Comment\r\n"
                              ";Output=/first.avi\n;Output=\n;Effect=GreyScale\npic.jpg\n");
    EXPECT_EQ(p.Sound, "/a.mp3");
    EXPECT_EQ(p.Output, "") << "an empty output line still counts";
    EXPECT_EQ(p.Effect, TEffect::Greyscale);
    EXPECT_EQ(p.Entries, std::vector<std::string>{"pic.jpg"});

    EXPECT_EQ(ParseProject(";Effect=sepia\n").Effect, TEffect::None)
        << "an unknown effect value switches both effects off";
    EXPECT_EQ(ParseProject(";effect=Sepia\n").Effect, std::nullopt);

    const TProject none = ParseProject("a.jpg\n");
    EXPECT_FALSE(none.Effect || none.Sound || none.Output) << "unmentioned values stay unset";
}

TEST(Project, PictureLinesStartAtTheFirstNonHeaderLine) {
    TProject p = ParseProject("\n;Sound=/a.mp3\r\nb.jpg");
    EXPECT_FALSE(p.Sound) << "an empty first line ends the header";
    EXPECT_EQ(p.Entries, (std::vector<std::string>{"", ";Sound=/a.mp3", "b.jpg"}));

    p = ParseProject(";Output=/o.avi\r\na.jpg\r\n;Sound=/late.mp3\r\n\r\n\r\r\n");
    EXPECT_FALSE(p.Sound) << "a header line after the pictures is a picture entry";
    EXPECT_EQ(p.Entries, (std::vector<std::string>{"a.jpg", ";Sound=/late.mp3", "", "", ""}));

    EXPECT_TRUE(ParseProject("").Entries.empty());
    EXPECT_TRUE(ParseProject(";Sound=\r\n").Entries.empty()) << "a final line break adds no line";
}

TEST(Project, RelativePathsFollowTheProjectFolder) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.Path() / "proj" / "pics");
    test::WriteText(dir.File("proj/demo.mrv"),
                    ";Sound=music/theme.mp3\r\n;Output=../out.avi\r\n"
                    "pics/a.jpg\r\n/abs/b.jpg\tB\r\n./c.bmp\tSee\r\n\r\n");
    const TProject p = LoadProject(dir.File("proj/demo.mrv"));
    const std::string proj = dir.File("proj");
    EXPECT_EQ(p.Sound, proj + "/music/theme.mp3");
    EXPECT_EQ(p.Output, dir.File("out.avi"));
    EXPECT_EQ(p.Entries, (std::vector<std::string>{proj + "/pics/a.jpg", "/abs/b.jpg\tB",
                                                   proj + "/c.bmp\tSee", ""}));
    EXPECT_EQ(SplitPictureEntry(p.Entries[0]).Caption, "a.jpg");

    TProject empty = ParseProject(";Sound=\n;Output=\n");
    ResolveProjectPaths(empty, "/somewhere");
    EXPECT_EQ(empty.Sound, "") << "an empty path stays empty";
    EXPECT_EQ(empty.Output, "");
}

TEST(Project, UnreadableProjectsGiveClearErrors) {
    test::TempDir dir;
    EXPECT_THROW(LoadProject(dir.File("missing.mrv")), EMorvantaError);
    EXPECT_THROW(LoadProject(dir.Path().string()), EMorvantaError);
    ASSERT_EQ(mkfifo(dir.File("fifo.mrv").c_str(), 0600), 0);
    EXPECT_THROW(LoadProject(dir.File("fifo.mrv")), EMorvantaError) << "must not wait for a writer";
    EXPECT_THROW(SaveProject(dir.File("no/such/folder/p"), TEffect::None, "", "", {}, {}),
                 EMorvantaError);
    test::WriteText(dir.File("big.mrv"), "");
    std::filesystem::resize_file(dir.File("big.mrv"), ProjectMaxFileBytes + 1);
    try {
        LoadProject(dir.File("big.mrv"));
        FAIL() << "no error";
    } catch (const EMorvantaError& e) {
        EXPECT_NE(std::string(e.what()).find("too large"), std::string::npos) << e.what();
    }
}

TEST(Project, Utf8ByteOrderMarkIsSkipped) {
    const std::string bom = "\xEF\xBB\xBF";
    const TProject p = ParseProject(bom + ";Sound=/m/theme.mp3\r\n;Output=/o.avi\r\n/p/a.jpg\r\n");
    EXPECT_EQ(p.Sound, "/m/theme.mp3") << "the first header line is read as one";
    EXPECT_EQ(p.Output, "/o.avi");
    EXPECT_EQ(p.Entries, std::vector<std::string>{"/p/a.jpg"});
    EXPECT_EQ(ParseProject(bom + "/p/\xC3\xA9t\xC3\xA9.jpg\n").Entries,
              std::vector<std::string>{"/p/\xC3\xA9t\xC3\xA9.jpg"})
        << "nor is it part of a first picture path";
    EXPECT_EQ(ParseProject(";Sound=/a.mp3\n" + bom + "b.jpg\n").Entries,
              std::vector<std::string>{bom + "b.jpg"})
        << "only in front of the file";

    test::TempDir dir;
    test::WriteText(dir.File("bom.mrv"), bom + ";Effect=Sepia\r\n;Sound=x.mp3\r\nb.jpg\r\n");
    const TProject loaded = LoadProject(dir.File("bom.mrv"));
    EXPECT_EQ(loaded.Effect, TEffect::Sepia);
    EXPECT_EQ(loaded.Sound, dir.File("x.mp3"));
    EXPECT_EQ(loaded.Entries, std::vector<std::string>{dir.File("b.jpg")});
}

TEST(Project, FilesThatAreNotProjectsAreRefusedWithOneMessage) {
    test::TempDir dir;
    struct TCase {
        const char* Name;
        std::string Bytes;
        const char* Reason;
    };
    const TCase cases[] = {
        {"photo.jpg", std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\r\n\xFF\xDB", 17),
         "binary data"},
        {"late-nul.mrv", ";Sound=\r\na.jpg\r\n" + std::string(1, '\0') + "b.jpg\r\n",
         "binary data"},
        {"utf16le.mrv", std::string("\xFF\xFE;\0S\0", 6), "UTF-16"},
        {"utf16be.mrv", std::string("\xFE\xFF\0;\0S", 6), "UTF-16"},
    };
    for (const auto& c : cases) {
        const std::string path = dir.File(c.Name);
        test::WriteText(path, c.Bytes);
        try {
            LoadProject(path);
            ADD_FAILURE() << c.Name << " was loaded";
        } catch (const EMorvantaError& e) {
            const std::string text = e.what();
            EXPECT_NE(text.find(path + " is not a project file"), std::string::npos) << text;
            EXPECT_NE(text.find(c.Reason), std::string::npos) << text;
            EXPECT_EQ(text.find('\n'), std::string::npos) << "one line: " << text;
        }
    }
    // Latin-1 text from older systems is still text.
    test::WriteText(dir.File("latin1.mrv"), ";Output=/v/\xE9t\xE9.avi\r\n");
    EXPECT_EQ(LoadProject(dir.File("latin1.mrv")).Output, "/v/\xE9t\xE9.avi");
}

TEST(PictureEntry, SplitAndCheck) {
    EXPECT_EQ(SplitPictureEntry("/p/beach.jpg").Caption, "beach.jpg");
    EXPECT_EQ(SplitPictureEntry("/p/beach.jpg\t").Caption, "");
    const TPictureEntry entry = SplitPictureEntry("/p/a.jpg\tone\ttwo");
    EXPECT_EQ(entry.Path, "/p/a.jpg");
    EXPECT_EQ(entry.Caption, "one\ttwo") << "only the first tab separates";

    test::TempDir dir;
    for (const char* name : {"a.JPG", "b.jpeg", "c.Bmp", "d.png", "e"})
        test::WriteText(dir.File(name), "x");
    EXPECT_EQ(PictureRejection(dir.File("a.JPG")), std::nullopt);
    EXPECT_EQ(PictureRejection(dir.File("b.jpeg")), std::nullopt);
    EXPECT_EQ(PictureRejection(dir.File("c.Bmp")), std::nullopt);
    EXPECT_EQ(PictureRejection(dir.File("d.png")), "File not supported : " + dir.File("d.png"));
    EXPECT_EQ(PictureRejection(dir.File("e")), "File not supported : " + dir.File("e"));
    EXPECT_EQ(PictureRejection(dir.File("gone.jpg")), "File not found : " + dir.File("gone.jpg"));
    EXPECT_EQ(PictureRejection(dir.Path().string()), "File not found : " + dir.Path().string())
        << "a folder is not a picture file";
    EXPECT_EQ(PictureRejection(""), "File not found : ");
    EXPECT_FALSE(IsSupportedPicture("/p.jpg/noext"));
}
