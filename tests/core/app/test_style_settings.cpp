#include <gtest/gtest.h>

#include <map>

#include "app/U_StyleSettings.h"
#include "platform/os/U_Settings.h"

namespace {

TShowStyle FromMap(const std::map<std::string, std::string>& values) {
    return ShowStyleFrom([&](const std::string& name) {
        const auto found = values.find(name);
        return found == values.end() ? std::string() : found->second;
    });
}

} // namespace

TEST(StyleSettings, EachValueReadsBackAndBadOrEmptyOnesLeaveThePlainChoice) {
    const TShowStyle plain;
    const struct {
        const char* Name;
        const char* Value;
        bool Changes;
    } cases[] = {
        {"Transition", "iris", true},
        {"Transition", "spiral", false},
        {"Motion", "zoom-out", true},
        {"Motion", "", false},
        {"Ease", "1", true},
        {"Ease", "maybe", false},
        {"Fill", "blur", true},
        {"CaptionFont", "DejaVu Serif", true},
        {"CaptionSize", "20", true},
        {"CaptionSize", "900", false},
        {"CaptionColour", "#FFFF00", true},
        {"CaptionColour", "mauve-ish", false},
        {"CaptionBand", "0", true},
        {"CaptionPlace", "top", true},
        {"CaptionEdge", "shadow", true},
        {"Counter", "0", true},
        {"DateLocale", "fr_FR", true},
        {"Unknown", "1", false},
    };
    for (const auto& c : cases) {
        const TShowStyle style = FromMap({{c.Name, c.Value}});
        EXPECT_EQ(!(style == plain), c.Changes) << c.Name << "=" << c.Value;
        if (!c.Changes) continue;
        // Written back, the one changed value is the only one with text.
        int withText = 0;
        for (const auto& [name, value] : ShowStyleValues(style)) {
            if (value.empty()) continue;
            ++withText;
            EXPECT_EQ(name, c.Name);
        }
        EXPECT_EQ(withText, 1) << c.Name;
    }
}

TEST(StyleSettings, ThePlainLookStoresNothingAndEveryNameIsListedOnce) {
    const auto values = ShowStyleValues(TShowStyle{});
    ASSERT_EQ(values.size(), StyleSettingNames().size());
    for (const auto& [name, value] : values) EXPECT_EQ(value, "") << name;
}

TEST(StyleSettings, TheStoreKeepsALookAndAPlainOneClearsIt) {
    TShowStyle style;
    style.Transition = TTransition::PushUp;
    style.Fill = TFill::Crop;
    style.Caption.SizePoints = 30;
    style.Caption.Colour = 0x123456;
    ASSERT_TRUE(WriteShowStyleSetting(style));
    EXPECT_TRUE(ReadShowStyleSetting() == style);
    EXPECT_EQ(ReadSetting("Transition"), "push-up");
    // Something outside the look is left alone.
    ASSERT_TRUE(WriteSetting("LastFCC", "H264"));
    ASSERT_TRUE(WriteShowStyleSetting(TShowStyle{}));
    EXPECT_TRUE(ReadShowStyleSetting() == TShowStyle{});
    EXPECT_EQ(ReadSetting("Transition"), "");
    EXPECT_EQ(ReadSetting("LastFCC"), "H264");
}
