// Finding the outside party's programs through the settings store, and the burner's job file.
#include <gtest/gtest.h>

#include <filesystem>

#include "AfterFakes.h"
#include "after/U_ExternalPrograms.h"

namespace {

TEST(ExternalPrograms, FindsTheBurnerFromItsFileOrFolder) {
    test::TAfterWorld world;
    const std::string folder = world.File("Dalvex BurnDeck");
    const std::string program = folder + "/burndeck";
    world.WriteScript(program, "exit 0");
    const std::string plainFile = world.File("plain/burndeck");
    world.WriteScript(plainFile, "exit 0");
    std::filesystem::permissions(plainFile, std::filesystem::perms::owner_read |
                                                std::filesystem::perms::owner_write);
    std::filesystem::create_directories(world.File("nested/burndeck"));
    struct TCase {
        const char* Name;
        std::string Value;
        std::string Expected;
    };
    const TCase cases[] = {
        {"folder", folder, program},
        {"folder with its delimiter", folder + "/", program},
        {"the program file", program, program},
        {"missing file", folder + "/burndeck-old", ""},
        {"missing folder", world.File("gone"), ""},
        {"a folder named like the program", world.File("nested"), ""},
        {"that folder itself", world.File("nested/burndeck"), ""},
        {"a file that cannot run", world.File("plain"), ""},
        {"empty value", "", ""},
    };
    EXPECT_EQ(FindBurner(), "") << "nothing registered";
    for (const TCase& c : cases) {
        world.Register("BurnDeck", c.Value);
        EXPECT_EQ(FindBurner().toStdString(), c.Expected) << c.Name;
    }
    // Value names are matched without regard to case, as the registry does.
    world.Register("BurnDeck", "");
    world.Register("burndeck", folder);
    EXPECT_EQ(FindBurner().toStdString(), program);
}

TEST(ExternalPrograms, TakesTheSecondConverterOnlyWhenTheFirstIsMissing) {
    test::TAfterWorld world;
    world.WriteScript(world.File("m/movietodisc"), "exit 0");
    world.WriteScript(world.File("c/cliptodisc"), "exit 0");
    struct TCase {
        std::string Movie, Clip, Expected;
    };
    const TCase cases[] = {
        {world.File("m"), world.File("c"), world.File("m/movietodisc")},
        {"", world.File("c"), world.File("c/cliptodisc")},
        {world.File("c"), world.File("c"), world.File("c/cliptodisc")}, // no movietodisc there
        {world.File("m"), "", world.File("m/movietodisc")},
        {"", "", ""},
    };
    for (const TCase& c : cases) {
        world.Register("movieTodisc", c.Movie);
        world.Register("ClipToDisc", c.Clip);
        EXPECT_EQ(FindDvdConverter().toStdString(), c.Expected) << c.Movie << " | " << c.Clip;
    }
}

TEST(JobListFile, NamesTheFileWhenItCannotBeWritten) {
    test::TempDir dir;
    test::WriteText(dir.File("not-a-folder"), "");
    // A file in place of the folder fails for every user, root included.
    const QString path = QString::fromStdString(dir.File("not-a-folder/mrv_0.bdj"));
    const QString error = WriteJobListFile(path, "/v/video.avi");
    EXPECT_TRUE(error.contains(path)) << error.toStdString();

    // A line break would make the burner read two names.
    const QString good = QString::fromStdString(dir.File("mrv_0.bdj"));
    EXPECT_TRUE(WriteJobListFile(good, "/v/two\nlines.avi").contains(good));
    EXPECT_FALSE(std::filesystem::exists(good.toStdString()));
    EXPECT_EQ(JobFilePath(QString::fromStdString(dir.Path().string()), "mrv", 0, ".bdj"), good);
}

} // namespace
