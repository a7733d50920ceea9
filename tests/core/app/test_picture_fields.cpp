// A picture's own settings after its caption on a command line: the project's picture-line
// pairs, caption text left alone, and mistyped settings refused by name.
#include <gtest/gtest.h>

#include "app/U_PictureFields.h"
#include "platform/base/U_Errors.h"

TEST(PictureFields, PairsSetThePictureAndOtherTextIsLeftAlone) {
    struct Case {
        const char* Field;
        bool Taken;
        TPictureStyle Expected;
    };
    const Case cases[] = {
        {"transition=iris", true, {.Transition = TTransition::Iris}},
        {"motion=zoom-in,fill=blur", true, {.Motion = TMotion::ZoomIn, .Fill = TFill::Blur}},
        {"TIME=4000,Transition=Wipe-Left",
         true,
         {.TimeMs = 4000, .Transition = TTransition::WipeLeft}},
        {"time=90000", true, {.TimeMs = 60000}}, // the show's longest time
        {"time=1000,time=2000", true, {.TimeMs = 2000}},
        {"fill=crop,motion=still,transition=cut",
         true,
         {.Transition = TTransition::Cut, .Motion = TMotion::Still, .Fill = TFill::Crop}},
        // Caption text: no pair, or text that is not all pairs.
        {"At the beach", false, {}},
        {"", false, {}},
        {"2 + 2 = 4", false, {}},
        {"motion=pan, at noon", false, {}},
        {"=iris", false, {}},
    };
    for (const auto& c : cases) {
        TPictureStyle style{.Fill = TFill::Bands}; // what was read before stays unless replaced
        const TPictureStyle before = style;
        EXPECT_EQ(ReadPictureField(c.Field, style), c.Taken) << c.Field;
        TPictureStyle expected = c.Taken ? c.Expected : before;
        if (c.Taken && !expected.Fill) expected.Fill = TFill::Bands;
        EXPECT_EQ(style, expected) << c.Field;
    }
}

TEST(PictureFields, AMistypedSettingIsRefusedByNameAndChangesNothing) {
    for (const char* field : {"transition=teleport", "motion=spin", "fill=stretch", "time=soon",
                              "time=", "transiton=iris", "fill=blur,colour=red"}) {
        TPictureStyle style{.TimeMs = 700};
        try {
            ReadPictureField(field, style);
            ADD_FAILURE() << field << " was taken";
        } catch (const EMorvantaError& e) {
            const std::string message = e.what();
            const std::string_view text(field);
            // The message names the pair at fault.
            const std::string bad(
                text.substr(text.find(',') == std::string_view::npos ? 0 : text.find(',') + 1));
            EXPECT_NE(message.find(bad), std::string::npos) << message;
        }
        EXPECT_EQ(style, TPictureStyle{.TimeMs = 700}) << field;
    }
}
