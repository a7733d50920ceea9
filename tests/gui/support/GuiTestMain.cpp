// The entry point of every GUI test: the QApplication must exist before any widget, and the
// offscreen platform must be chosen before the QApplication, so that test discovery and the
// tests themselves run on a machine without a display.
#include "app/U_Application.h"
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    testing::InitGoogleTest(&argc, argv);
    TMorvantaApp app(argc, argv);
    return RUN_ALL_TESTS();
}
