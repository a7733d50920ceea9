// A soundtrack of several songs in a project file: the first stays on the ";Sound=" line, so a
// project of one song is the same file as before and an older reader keeps the first song.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "app/U_Project.h"
#include "app/U_ProjectSongs.h"

TEST(ProjectSongs, OneSongWritesTheSameFileAsBefore) {
    const std::vector<std::string> paths = {"/p/a.jpg"}, captions = {"A"};
    const std::string before =
        FormatProject(TEffect::Sepia, "/m/one.flac", "/v/o.avi", paths, captions);
    EXPECT_EQ(FormatProject(TEffect::Sepia, "/m/one.flac", "/v/o.avi", paths, captions, {}),
              before);
    EXPECT_EQ(before, ";Effect=Sepia\r\n;Sound=/m/one.flac\r\n;Output=/v/o.avi\r\n/p/a.jpg\tA\r\n");
}

TEST(ProjectSongs, FurtherSongsFollowTheSoundLineAndLoadBack) {
    test::TempDir dir;
    const std::string written =
        SaveProject(dir.File("show"), TEffect::None, dir.File("one.mp3"), "out.avi",
                    {dir.File("a.jpg")}, {"a.jpg"}, {"music/two.flac", "/abs/three.m4a"});
    const auto bytes = test::ReadFile(written);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
              ";Sound=" + dir.File("one.mp3") +
                  "\r\n;Song=music/two.flac\r\n;Song=/abs/three.m4a\r\n;Output=out.avi\r\n" +
                  dir.File("a.jpg") + "\r\n");
    const TProject project = LoadProject(written);
    EXPECT_EQ(ProjectSongs(project),
              (std::vector<std::string>{dir.File("one.mp3"), dir.File("music/two.flac"),
                                        "/abs/three.m4a"}))
        << "relative songs are taken from the project's folder";
    EXPECT_EQ(project.Entries, std::vector<std::string>{dir.File("a.jpg")});
}

TEST(ProjectSongs, ReadingRules) {
    struct Case {
        const char* Text;
        std::vector<std::string> Songs;
    };
    const Case cases[] = {
        // An empty ";Song=" is no song; an empty ";Sound=" leaves the others.
        {";Sound=/a.mp3\n;Song=\n;Song=/b.ogg\n", {"/a.mp3", "/b.ogg"}},
        {";Sound=\n;Song=/b.ogg\n", {"/b.ogg"}},
        // Order of the lines is the order of the songs; a later ";Sound=" replaces the first.
        {";Song=/b.ogg\n;Sound=/a.mp3\n;Song=/c.wav\n;Sound=/z.mp3\n",
         {"/z.mp3", "/b.ogg", "/c.wav"}},
        // After the first picture line a ";Song=" line is a picture entry, as for every header.
        {";Sound=/a.mp3\npic.jpg\n;Song=/b.ogg\n", {"/a.mp3"}},
        // Spelling is exact.
        {";song=/b.ogg\n;SONG=/c.ogg\n", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(ProjectSongs(ParseProject(c.Text)), c.Songs);
    }
    // An older reader's view: only the ";Sound=" line is the soundtrack.
    EXPECT_EQ(ParseProject(";Sound=/a.mp3\r\n;Song=/b.ogg\r\n").Sound, "/a.mp3");
}
