// The user manual: its links and pictures resolve, its markup is balanced, and it names every
// control of the main window, every form's screenshot and every option of morvanta-render.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace fs = std::filesystem;

namespace {

const fs::path DocsDir = fs::path(MORVANTA_SOURCE_DIR) / "docs";

std::string Manual() {
    const auto bytes = test::ReadFile((DocsDir / "manual.html").string());
    return std::string(bytes.begin(), bytes.end());
}

// Every first group of `pattern` in `text`.
std::vector<std::string> Captures(const std::string& text, const std::string& pattern) {
    std::vector<std::string> found;
    const std::regex re(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator();
         ++it)
        found.push_back((*it)[1].str());
    return found;
}

std::string DecodeEntities(std::string text) {
    const std::pair<const char*, const char*> entities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}};
    for (const auto& [entity, plain] : entities)
        for (auto at = text.find(entity); at != std::string::npos; at = text.find(entity, at + 1))
            text.replace(at, std::string(entity).size(), plain);
    return text;
}

TEST(Manual, InternalLinksReachAnAnchorAndAnchorsAreUnique) {
    const std::string html = Manual();
    const std::vector<std::string> ids = Captures(html, R"(\sid="([^"]*)\")");
    const std::set<std::string> anchors(ids.begin(), ids.end());
    EXPECT_EQ(anchors.size(), ids.size()) << "an id is used twice";
    int internal = 0;
    for (const std::string& href : Captures(html, R"(\shref="([^"]*)\")")) {
        if (href.starts_with("http://") || href.starts_with("https://")) continue;
        if (href.starts_with("#")) {
            ++internal;
            EXPECT_TRUE(anchors.count(href.substr(1))) << "no anchor for " << href;
        } else {
            EXPECT_TRUE(fs::exists(DocsDir / href.substr(0, href.find('#')))) << href;
        }
    }
    EXPECT_GT(internal, 20) << "the table of contents links every section";
}

TEST(Manual, ShowsEveryFormAndEveryPictureIsThere) {
    const std::string html = Manual();
    const std::vector<std::string> images = Captures(html, R"(<img\s[^>]*src="([^"]*)\")");
    for (const std::string& src : images) {
        EXPECT_FALSE(src.starts_with("/") || src.find("://") != std::string::npos)
            << src << " must lie beside the manual";
        EXPECT_TRUE(fs::is_regular_file(DocsDir / src))
            << src << " is missing: make screenshots and copy them into docs/images/";
    }
    // The screenshots that `make screenshots` makes, one per form, named after the form.
    for (const char* form :
         {"MainDlg", "AboutDlg", "SettingsDlg", "ExpertDlg", "LoaderDlg", "ReorderDlg", "JumpDlg",
          "ProcessSuccessDlg", "BurnDlg", "CodecConfigDlg"}) {
        const std::string src = std::string("images/") + form + ".png";
        EXPECT_NE(std::find(images.begin(), images.end(), src), images.end()) << src;
    }
}

TEST(Manual, NamesEveryControlOfTheMainWindow) {
    const std::string html = Manual();
    std::set<std::string> named;
    for (const std::string& text : Captures(html, R"(<span class="ui">([^<]*)</span>)"))
        named.insert(DecodeEntities(text));
    // The captions as the window shows them: groups, buttons, check boxes, labels, menus.
    const char* captions[] = {"Photos",
                              "<",
                              ">",
                              "Add Files",
                              "Reset",
                              "Save",
                              "Load",
                              "Jump to....",
                              "Organize",
                              "Soundtrack",
                              "Browse",
                              "Video Compression",
                              "Codecs",
                              "Codec Configuration",
                              "About",
                              "Download More Codecs",
                              "Resolution",
                              "Options",
                              "Enable dynamic pictures",
                              "Enable Cross-Fading",
                              "Enable \"On Video Text Insertion\"",
                              "Time per picture (ms) :",
                              "Match audio",
                              "Fps :",
                              "Expert",
                              "Output",
                              "Go !",
                              "Cancel",
                              "Preview",
                              "Settings",
                              "Help",
                              "About...",
                              "File",
                              "Quit",
                              "Pictures",
                              "Add",
                              "Sound",
                              "Remove",
                              "Effects",
                              "Greyscale",
                              "Sepia",
                              "?"};
    for (const char* caption : captions) EXPECT_TRUE(named.count(caption)) << caption;
}

TEST(Manual, DocumentsEveryOptionOfTheRenderer) {
    const auto help = test::Run({MORVANTA_RENDER_EXE, "--help"});
    ASSERT_EQ(help.ExitCode, 0) << help.Err;
    const std::string html = Manual();
    const std::vector<std::string> options = Captures(help.Out, R"((--[a-z][a-z-]*))");
    ASSERT_GT(options.size(), 10u) << help.Out;
    for (const std::string& option : options)
        EXPECT_NE(html.find("<code>" + option), std::string::npos) << option;
}

// The settings a picture entry of -p may carry after its caption ("transition=NAME").
TEST(Manual, DocumentsThePictureSettingsOfPictureEntries) {
    const auto help = test::Run({MORVANTA_RENDER_EXE, "--help"});
    ASSERT_EQ(help.ExitCode, 0) << help.Err;
    const std::vector<std::string> keys = Captures(help.Out, R"(\b([a-z]+)=[A-Z]+\b)");
    const std::set<std::string> named(keys.begin(), keys.end());
    EXPECT_EQ(named, (std::set<std::string>{"fill", "motion", "time", "transition"})) << help.Out;
    const std::string html = Manual();
    for (const std::string& key : named)
        EXPECT_NE(html.find("<code>" + key + "=</code>"), std::string::npos) << key;
}

TEST(Manual, MarkupIsBalanced) {
    const std::string html = Manual();
    const std::set<std::string> voids = {"meta", "img", "br", "hr", "link", "input"};
    std::vector<std::string> open;
    const std::regex tag(R"(<(/?)([a-zA-Z][a-zA-Z0-9]*)[^>]*>)");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), tag);
         it != std::sregex_iterator(); ++it) {
        const std::string name = (*it)[2].str();
        if (voids.count(name)) continue;
        if ((*it)[1].str().empty()) {
            open.push_back(name);
            continue;
        }
        ASSERT_FALSE(open.empty()) << "</" << name << "> closes nothing";
        ASSERT_EQ(open.back(), name) << "</" << name << "> closes <" << open.back() << ">";
        open.pop_back();
    }
    EXPECT_TRUE(open.empty()) << "<" << (open.empty() ? "" : open.back()) << "> is never closed";
}

} // namespace
