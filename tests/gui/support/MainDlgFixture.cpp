#include "MainDlgFixture.h"

#include <cstdlib>
#include <filesystem>

#include "TestPictures.h"
#include "app/U_Log.h"
#include "app/U_Startup.h"

namespace guitest {

TMainDlgTest::TMainDlgTest() {
    ExeFolder = Dir.File("bin");
    StateFolder = Dir.File("state");
    std::filesystem::create_directories(ExeFolder);
    // Settings written by one test must not reach the next.
    if (const char* config = std::getenv("MORVANTA_CONFIG_DIR")) {
        hadConfig_ = true;
        OriginalConfig = config;
    }
    setenv("MORVANTA_CONFIG_DIR", Dir.File("config").c_str(), 1);
}

TMainDlgTest::~TMainDlgTest() {
    Window.reset();
    if (hadConfig_)
        setenv("MORVANTA_CONFIG_DIR", OriginalConfig.c_str(), 1);
    else
        unsetenv("MORVANTA_CONFIG_DIR");
}

TMainDlg& TMainDlgTest::Start() {
    TMainDlgOptions options;
    options.ExecutablePath = ExeFolder + "/morvanta";
    options.StateFolder = StateFolder;
    options.CodecLines = [lines = CodecLines] { return lines; };
    Window = CreateForms(std::move(options));
    Window->AppEvtActivate();
    EXPECT_TRUE(Window->WaitForCodecList());
    return *Window;
}

std::string TMainDlgTest::Bmp(const std::string& name, std::uint32_t rgb, int width, int height) {
    const std::string path = Dir.File(name);
    test::WriteBmp24(path, test::MakeSolid(width, height, rgb));
    return path;
}

std::string TMainDlgTest::Jpeg(const std::string& name, std::uint32_t rgb, int width, int height) {
    const std::string path = Dir.File(name);
    WriteJpeg(path, test::MakeSolid(width, height, rgb));
    return path;
}

std::vector<std::string> TMainDlgTest::AddPictures(int count) {
    std::vector<std::string> paths;
    for (int i = 1; i <= count; ++i)
        paths.push_back(
            Bmp("p" + std::to_string(i) + ".bmp", 0x101010u * static_cast<unsigned>(i)));
    Window->AddPictureEntries(paths);
    return paths;
}

std::vector<std::string> TMainDlgTest::LogLines() const {
    const auto& lines = Window->AppLog->Lines();
    return {lines.begin(), lines.end()};
}

std::vector<std::string> TMainDlgTest::Paths() const {
    return Window->PicturePaths.Items();
}

std::vector<std::string> TMainDlgTest::Captions() const {
    return Window->PictureCaptions.Items();
}

} // namespace guitest
