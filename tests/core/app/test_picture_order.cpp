#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "app/U_PictureOrder.h"

namespace {

int Sign(int v) {
    return (v > 0) - (v < 0);
}

} // namespace

TEST(PictureOrder, NaturalNamesCompareAsFileManagersShowThem) {
    struct Case {
        const char* a;
        const char* b;
        int expected;
    };
    const Case cases[] = {
        {"img2.jpg", "img10.jpg", -1},   // numbers by value
        {"img10.jpg", "img9.jpg", 1},    //
        {"b.JPG", "c.jpg", -1},          // letters without regard to case
        {"B.jpg", "a.jpg", 1},           //
        {"img007.jpg", "img8.jpg", -1},  // leading zeros do not count
        {"photo.jpg", "photo1.jpg", -1}, // a shorter name first
        {"x99999999999999999999999.jpg", "x100000000000000000000000.jpg", -1}, // no overflow
        {"a.jpg", "a.jpg", 0},
        {"IMG1.jpg", "img1.jpg", -1}, // same reading: a fixed order by bytes
        {"img01.jpg", "img1.jpg", -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Sign(CompareNaturalNames(c.a, c.b)), c.expected) << c.a << " vs " << c.b;
        EXPECT_EQ(Sign(CompareNaturalNames(c.b, c.a)), -c.expected) << c.b << " vs " << c.a;
    }
}

TEST(PictureOrder, SelectedFilesComeOutInTheFoldersOrderEachOnce) {
    test::TempDir dir;
    for (const char* name : {"c.jpg", "a.jpg", "b.JPG", "img10.jpg", "img2.jpg", "other.jpg"})
        test::WriteText(dir.File(name), "x");
    std::filesystem::create_directory(dir.File("sub.jpg"));

    std::vector<std::string> files = {
        dir.File("img10.jpg"), dir.File("c.jpg"), dir.File("a.jpg"),   dir.File("b.JPG"),
        dir.File("img2.jpg"),  dir.File("c.jpg"), dir.File("sub.jpg"), "/elsewhere/a.jpg"};
    SortByDirectoryOrder(files);
    EXPECT_EQ(files,
              (std::vector<std::string>{dir.File("a.jpg"), dir.File("b.JPG"), dir.File("c.jpg"),
                                        dir.File("img2.jpg"), dir.File("img10.jpg")}))
        << "a folder, a duplicate, an unselected file and a file elsewhere are left out";
}

TEST(PictureOrder, ANameMatchesAnotherCaseOnlyWhenItsOwnSpellingIsAbsent) {
    test::TempDir dir;
    for (const char* name : {"Pic.jpg", "pic.jpg", "Shot.JPG"})
        test::WriteText(dir.File(name), "x");

    std::vector<std::string> files = {dir.File("pic.jpg"), dir.File("shot.jpg")};
    SortByDirectoryOrder(files);
    EXPECT_EQ(files, (std::vector<std::string>{dir.File("pic.jpg"), dir.File("Shot.JPG")}));
}

TEST(PictureOrder, AFolderThatCannotBeListedLeavesNothing) {
    std::vector<std::string> files = {"/no/such/folder/a.jpg", "/no/such/folder/b.jpg"};
    SortByDirectoryOrder(files);
    EXPECT_TRUE(files.empty());

    std::vector<std::string> none;
    SortByDirectoryOrder(none);
    EXPECT_TRUE(none.empty());
}
