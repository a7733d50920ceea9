#pragma once
// A started main window (with every dialog) whose executable lives in a fresh folder, with its
// own settings store, message boxes and file dialogs answered by the test.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "app/U_Log.h"
#include "app/U_MainDlg.h"

namespace guitest {

class TMainDlgTest : public ::testing::Test {
protected:
    TMainDlgTest();
    ~TMainDlgTest() override;

    // Creates the forms and runs the window's start-up; the codec list is in place on return.
    TMainDlg& Start();
    TMainDlg& W() { return *Window; }

    // A 24-bit BMP of one colour in the test folder; returns its path.
    std::string Bmp(const std::string& name, std::uint32_t rgb = 0x336699, int width = 64,
                    int height = 48);
    // A small JPEG in the test folder.
    std::string Jpeg(const std::string& name, std::uint32_t rgb = 0x993366, int width = 64,
                     int height = 48);
    // Adds `count` pictures p1.bmp ... through AddPictureEntries; returns their paths.
    std::vector<std::string> AddPictures(int count);
    // The log's lines in memory, newest first.
    std::vector<std::string> LogLines() const;
    std::vector<std::string> Paths() const;
    std::vector<std::string> Captions() const;

    test::TempDir Dir;
    std::string ExeFolder;   // the executable's folder (the log goes there)
    std::string StateFolder; // the log's fallback folder
    std::vector<std::string> CodecLines = {"XVID libxvidcore MPEG-4 part 2",
                                           "H264 libx264 H.264 / AVC", "DIB  Uncompressed RGB"};
    TShellRecorder Shell;
    TFileDialogScript Dialogs;
    std::unique_ptr<TMainDlg> Window;

    // The settings store's folder before the test gave itself its own ("" for none).
    std::string OriginalConfig;

private:
    bool hadConfig_ = false;
};

} // namespace guitest
