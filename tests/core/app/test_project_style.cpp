// The look in project files: written only when it is not the plain show's, read back whole,
// skipped by readers that do not know it; pictures' own times in the render's timeline and
// in "Match audio".
#include <gtest/gtest.h>

#include "TestPictures.h"
#include "TestSupport.h"
#include "app/U_PictureTimes.h"
#include "app/U_Project.h"
#include "app/U_ProjectStyle.h"
#include "app/U_RunSettings.h"
#include "video/U_FrameServer.h"

namespace {

TShowLook FullLook() {
    TShowLook look;
    TShowStyle& s = look.Show;
    s.Transition = TTransition::Iris;
    s.Motion = TMotion::KenBurns;
    s.Ease = true;
    s.Fill = TFill::Blur;
    s.Caption.Family = "DejaVu Serif";
    s.Caption.SizePoints = 20;
    s.Caption.Colour = 0xFFE000;
    s.Caption.Band = false;
    s.Caption.Place = TCaptionPlace::Top;
    s.Caption.Edge = TTextEdge::Outline;
    s.Caption.Counter = false;
    s.Caption.DateLocale = "de_DE.UTF-8";
    look.Pictures.resize(3);
    look.Pictures[0].TimeMs = 4500;
    look.Pictures[0].Transition = TTransition::WipeLeft;
    look.Pictures[2].Motion = TMotion::Still;
    look.Pictures[2].Fill = TFill::Crop;
    return look;
}

const std::vector<std::string> Paths = {"/p/a.jpg", "/p/b.jpg", "/p/c.jpg"};
const std::vector<std::string> Captions = {"Beach", "b.jpg", "Dinner"};

} // namespace

TEST(ProjectStyle, APlainShowIsWrittenAsBefore) {
    const std::string plain = ";Sound=/m/t.mp3\r\n;Output=/v/h.avi\r\n/p/a.jpg\tBeach\r\n/p/"
                              "b.jpg\r\n/p/c.jpg\tDinner\r\n";
    EXPECT_EQ(FormatProject(TEffect::None, "/m/t.mp3", "/v/h.avi", Paths, Captions), plain);
    // Plain pictures and the plain show add nothing, however many pictures are listed.
    TShowLook look;
    look.Pictures.resize(3);
    EXPECT_EQ(FormatProject(TEffect::None, "/m/t.mp3", "/v/h.avi", Paths, Captions, {}, look),
              plain);
    EXPECT_EQ(FormatProjectStyle(look), "");
}

TEST(ProjectStyle, TheWholeLookComesBack) {
    const TShowLook look = FullLook();
    const std::string text =
        FormatProject(TEffect::Sepia, "/m/t.mp3", "/v/h.avi", Paths, Captions, {}, look);
    const TProject project = ParseProject(text);
    EXPECT_TRUE(project.Style.Notes.empty());
    TShowStyle read;
    ApplyProjectStyle(project.Style, read);
    EXPECT_EQ(read, look.Show);
    ASSERT_EQ(project.Style.Pictures.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(project.Style.Pictures[i], look.Pictures[i]) << i;
    // And it is written the same way again.
    EXPECT_EQ(FormatProject(TEffect::Sepia, "/m/t.mp3", "/v/h.avi", Paths, Captions, {},
                            {read, project.Style.Pictures}),
              text);
}

TEST(ProjectStyle, EarlierReadersSeeTheSameProject) {
    // Every line of the look is a header line, before the first picture: a reader that knows
    // only ";Effect=", ";Sound=" and ";Output=" skips them all.
    const std::string with =
        FormatProject(TEffect::Greyscale, "/m/t.mp3", "/v/h.avi", Paths, Captions, {}, FullLook());
    const std::string without =
        FormatProject(TEffect::Greyscale, "/m/t.mp3", "/v/h.avi", Paths, Captions);
    const auto firstPicture = with.find("/p/a.jpg");
    for (std::size_t at = 0; at < firstPicture; at = with.find("\r\n", at) + 2)
        EXPECT_EQ(with[at], ';') << with.substr(at, with.find("\r\n", at) - at);
    EXPECT_EQ(with.substr(firstPicture), without.substr(without.find("/p/a.jpg")));
    const TProject a = ParseProject(with), b = ParseProject(without);
    EXPECT_EQ(a.Entries, b.Entries);
    EXPECT_EQ(a.Sound, b.Sound);
    EXPECT_EQ(a.Output, b.Output);
    EXPECT_EQ(a.Effect, b.Effect);
}

TEST(ProjectStyle, ValuesNotMentionedKeepTheirState) {
    TShowStyle show;
    show.Fill = TFill::Crop;
    show.Caption.SizePoints = 30;
    const TProject project = ParseProject(";Transition=push-up\n;CaptionSize=14\na.jpg\n");
    ApplyProjectStyle(project.Style, show);
    EXPECT_EQ(show.Transition, TTransition::PushUp);
    EXPECT_EQ(show.Caption.SizePoints, 14);
    EXPECT_EQ(show.Fill, TFill::Crop) << "not in the file";
}

TEST(ProjectStyle, LinesThatCannotBeUsedAreNotedOnceEach) {
    struct Case {
        const char* Line;
        bool Noted;
    };
    const Case cases[] = {
        {";Transition=teleport", true},  {";CaptionSize=500", true},
        {";CaptionColour=#12345", true}, {";Picture=x:time=3000", true},
        {";Picture=0:time=3000", true},  {";Picture=99999999999999999999:time=1", true},
        {";Picture=9:time=3000", true}, // beyond the two pictures
        {";Comment=anything", false},   // not ours: ignored as before
        {";transition=iris", false},    // keys are exact, as ";Effect=" is
    };
    for (const auto& c : cases) {
        const TProject project = ParseProject(std::string(c.Line) + "\na.jpg\nb.jpg\n");
        EXPECT_EQ(project.Style.Notes.size(), c.Noted ? 1u : 0u) << c.Line;
        EXPECT_TRUE(project.Style.Show.empty()) << c.Line;
        EXPECT_EQ(project.Entries.size(), 2u) << c.Line;
    }
    // A picture line's unknown keys and bad values are left out, the rest kept.
    const TProject p =
        ParseProject(";Picture=2:time=99999,motion=spin,fill=crop,colour=red\na\nb\n");
    ASSERT_EQ(p.Style.Pictures.size(), 2u);
    EXPECT_TRUE(p.Style.Pictures[0].IsPlain());
    EXPECT_EQ(p.Style.Pictures[1].TimeMs, 60000) << "clamped as the time box does";
    EXPECT_FALSE(p.Style.Pictures[1].Motion);
    EXPECT_EQ(p.Style.Pictures[1].Fill, TFill::Crop);
}

TEST(PictureTimes, OwnTimesAndTheShowsMakeTheDurations) {
    std::vector<TPictureStyle> pictures(2);
    pictures[1].TimeMs = 5000;
    EXPECT_EQ(PictureDurationsMs(3000, pictures, 4), (std::vector<int>{3000, 5000, 3000, 3000}));
    EXPECT_EQ(PictureDurationsMs(3000, {}, 2), (std::vector<int>{3000, 3000}));
}

TEST(PictureTimes, MatchAudioScalesEveryTimeByOneFactor) {
    // No time of its own: exactly the plain rule.
    for (bool fade : {false, true}) {
        const auto plain = MatchAudio(7, 95, fade);
        const auto ours = MatchAudioTimes(3000, std::vector<TPictureStyle>(7), 7, 95, fade);
        ASSERT_TRUE(ours);
        EXPECT_EQ(ours->ShowMs, plain->PictureDurationMs);
    }
    // 4 pictures: 2000, 6000, 2000, 2000 ms = 12 s over a 60 s song without fades: x5.
    std::vector<TPictureStyle> pictures(2);
    pictures[1].TimeMs = 6000;
    auto matched = MatchAudioTimes(2000, pictures, 4, 60, false);
    ASSERT_TRUE(matched);
    EXPECT_EQ(matched->ShowMs, 10000);
    EXPECT_EQ(matched->Pictures[1].TimeMs, 30000);
    EXPECT_FALSE(matched->Pictures[0].TimeMs) << "still the show's";
    EXPECT_FALSE(matched->AtMinimum);
    // With fades each picture counts 1.3 times: 12 s x 1.3 over 78 s is x5 again.
    matched = MatchAudioTimes(2000, pictures, 4, 78, true);
    EXPECT_EQ(matched->ShowMs, 10000);
    EXPECT_EQ(matched->Pictures[1].TimeMs, 30000);
    // A song of no length takes every time down to the minimum.
    matched = MatchAudioTimes(2000, pictures, 4, 0, true);
    EXPECT_EQ(matched->ShowMs, MinPictureDurationMs);
    EXPECT_TRUE(matched->AtMinimum);
    EXPECT_FALSE(MatchAudioTimes(2000, pictures, 0, 60, false));
}

TEST(PictureTimes, TheTimelineFollowsEachPicturesFrames) {
    test::TempDir dir;
    std::vector<std::string> files;
    for (int i = 0; i < 3; ++i) {
        files.push_back(dir.File(std::to_string(i) + ".bmp"));
        test::WriteBmp24(files.back(), test::MakeSolid(16, 12, 0x100000u * (i + 1)));
    }
    TStringList paths(files);
    TFrameServer server(paths, nullptr, 25, 12, 16, TShowStyle{.CrossFade = true});
    ASSERT_EQ(server.FrameCount(), 3 * 25 + 2 * 6);
    std::vector<TPictureStyle> pictures(3);
    pictures[0].TimeMs = 4000;                 // 100 frames at 40 ms, then 30 fade frames
    pictures[1].Transition = TTransition::Cut; // 25 frames, no fade
    pictures[2].TimeMs = 1000;                 // 25 frames, the last: no fade
    server.SetPictureStyles(pictures, 40);
    EXPECT_EQ(server.FrameCount(), 100 + 30 + 25 + 25);
    EXPECT_EQ(server.Slot(1).Start, 130);
    EXPECT_EQ(server.Slot(2).Start, 155);
    EXPECT_EQ(server.Slot(0).Fade, 30);
    EXPECT_EQ(server.Slot(1).Fade, 0);
    TBitmap32 frame;
    const auto red = [&](int index) {
        server.GetFrame(frame, index);
        return RedOf(frame.At(0, 0));
    };
    EXPECT_EQ(red(99), 0x10u);
    EXPECT_EQ(red(130), 0x20u);
    EXPECT_EQ(red(154), 0x20u);
    EXPECT_EQ(red(155), 0x30u) << "a cut: the next picture at once";
    EXPECT_EQ(server.CachedIndex(), 2);
    // Frame duration 0 (single-frame mode): every picture keeps the show's frames.
    server.SetPictureStyles(pictures, 0);
    EXPECT_EQ(server.FrameCount(), 25 + 6 + 25 + 25);
}
