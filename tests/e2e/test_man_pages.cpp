// The manual pages made from the programs' help at build time: every option the help names is
// in the page, the page carries the programs' version, its gzipped copy (the one installed) is
// the same page, and groff reads it without a warning. The programs' --help and --version
// answer without a display, so that the pages can be made on a build machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;

struct TProgram {
    std::string Name;
    std::string Exe;
};

std::vector<TProgram> Programs() {
    std::vector<TProgram> programs = {{"morvanta-render", MORVANTA_RENDER_EXE},
                                      {"morvanta-lang", MORVANTA_LANG_EXE}};
#ifdef MORVANTA_EXE
    programs.push_back({"morvanta", MORVANTA_EXE});
#endif
    return programs;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::string PageOf(const TProgram& program) {
    return (fs::path(program.Exe).parent_path() / "man" / (program.Name + ".1")).string();
}

// The program run with no display to reach, as on a build machine.
test::CommandResult RunWithoutDisplay(const TProgram& program, const std::string& option) {
    return test::Run({"env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM",
                      program.Exe, option});
}

// Options as the help writes them ("-o", "--no-sound"), each once.
std::set<std::string> OptionsIn(const std::string& help) {
    std::set<std::string> options;
    const std::regex option(R"((^|[\s\[(,])(--?[a-z][a-z-]*))");
    for (auto it = std::sregex_iterator(help.begin(), help.end(), option);
         it != std::sregex_iterator(); ++it)
        options.insert((*it)[2].str());
    return options;
}

// How the page spells an option: every dash a minus sign.
std::string Roff(std::string option) {
    std::string out;
    for (char c : option) out += c == '-' ? std::string("\\-") : std::string(1, c);
    return out;
}

TEST(ManPages, EveryOptionOfTheHelpIsInThePageWithTheVersion) {
    for (const TProgram& program : Programs()) {
        SCOPED_TRACE(program.Name);
        const auto help = RunWithoutDisplay(program, "--help");
        ASSERT_EQ(help.ExitCode, 0) << help.Err;
        ASSERT_EQ(help.Out.rfind("Usage: " + program.Name + " ", 0), 0u) << help.Out;

        const std::string page = ReadText(PageOf(program));
        EXPECT_NE(page.find("\n.TH \"" + Upper(program.Name) +
                            "\" 1 \"\" \"Morvanta " MORVANTA_VERSION "\" "),
                  std::string::npos)
            << "the title line, with the version";
        EXPECT_NE(page.find(".SH NAME\n" + program.Name + " \\- "), std::string::npos)
            << "a NAME line that apropos and lintian read";
        const std::set<std::string> options = OptionsIn(help.Out);
        EXPECT_TRUE(options.count("--help") && options.count("--version")) << help.Out;
        for (const std::string& option : options)
            EXPECT_NE(page.find(Roff(option)), std::string::npos) << option;
        // And the settings a picture entry may carry ("transition=NAME"), as the help names them.
        const std::regex pair(R"(\b([a-z]+)=([A-Z]+)\b)");
        for (auto it = std::sregex_iterator(help.Out.begin(), help.Out.end(), pair);
             it != std::sregex_iterator(); ++it)
            EXPECT_NE(page.find((*it)[1].str() + "=" + (*it)[2].str()), std::string::npos)
                << (*it)[0];
        // No dash of an option left as a hyphen, which would not match when searched for.
        EXPECT_FALSE(std::regex_search(page, std::regex(R"(\\-[a-z]+-[a-z])"))) << page;
    }
}

TEST(ManPages, ProgramsAnswerVersionWithoutADisplay) {
    for (const TProgram& program : Programs()) {
        const auto version = RunWithoutDisplay(program, "--version");
        EXPECT_EQ(version.ExitCode, 0) << program.Name << ": " << version.Err;
        EXPECT_EQ(version.Out, program.Name + " " MORVANTA_VERSION "\n");
    }
}

TEST(ManPages, InstalledCopyIsTheSamePageAndGroffReadsItCleanly) {
    if (!test::HaveProgram("gzip")) GTEST_SKIP() << "gzip is not installed";
    for (const TProgram& program : Programs()) {
        SCOPED_TRACE(program.Name);
        const std::string page = PageOf(program);
        const auto unzipped = test::Run({"gzip", "-dc", page + ".gz"});
        ASSERT_EQ(unzipped.ExitCode, 0) << unzipped.Err;
        EXPECT_EQ(unzipped.Out, ReadText(page));
        if (!test::HaveProgram("groff")) continue;
        const auto groff = test::Run({"groff", "-man", "-Tutf8", "-ww", "-z", page});
        EXPECT_EQ(groff.ExitCode, 0);
        EXPECT_EQ(groff.Err, "") << "groff's warnings";
    }
}

} // namespace
