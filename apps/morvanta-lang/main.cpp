// morvanta-lang: language files (.SPK) to their readable text form and back.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "lang/U_LangText.h"
#include "lang/U_VersionInfo.h"

namespace {

constexpr const char* Usage =
    "Usage: morvanta-lang to-text FILE.SPK [OUT.txt]   language file to text (stdout without OUT)\n"
    "       morvanta-lang to-spk FILE.txt OUT.SPK       text back to a language file\n"
    "       morvanta-lang --version | --help\n";

constexpr const char* Help =
    "Usage: morvanta-lang to-text FILE.SPK [OUT.txt]\n"
    "       morvanta-lang to-spk FILE.txt OUT.SPK\n"
    "Turns a Morvanta language file (.SPK), which is binary, into a text that can be\n"
    "read, edited and compared, and such a text back into a language file.\n"
    "\n"
    "Commands:\n"
    "  to-text FILE.SPK [OUT.txt]\n"
    "                        Writes the language file's header and texts to OUT.txt,\n"
    "                        or to standard output without it.\n"
    "  to-spk FILE.txt OUT.SPK\n"
    "                        Writes the language file that the text describes to\n"
    "                        OUT.SPK; a text with a fault names its line and writes\n"
    "                        nothing.\n"
    "\n"
    "Options:\n"
    "      --version         Prints the program's version and stops.\n"
    "  -h, --help            Prints this help and stops.\n"
    "\n"
    "Exit status: 0 done, 1 failed (the reason on standard error), 2 usage error.\n"
    "\n"
    "Examples:\n"
    "  morvanta-lang to-text MRV_0000040C.SPK MRV_0000040C.txt\n"
    "  morvanta-lang to-spk MRV_0000040C.txt MRV_0000040C.SPK\n";

// Text files are read whole; nothing a translator writes comes near this.
constexpr std::uintmax_t MaxTextBytes = 64u << 20;

std::string ReadTextFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw EMorvantaError("Cannot open " + path);
    in.seekg(0, std::ios::end);
    const auto size = static_cast<std::uintmax_t>(in.tellg());
    if (size > MaxTextBytes) throw EMorvantaError(path + " is too large");
    in.seekg(0);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (!in.read(text.data(), static_cast<std::streamsize>(size)))
        throw EMorvantaError("Cannot read " + path);
    return text;
}

void WriteTextFile(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (!out) {
            std::remove(temporary.c_str());
            throw EMorvantaError("Cannot write " + path);
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        throw EMorvantaError("Cannot write " + path);
    }
}

int Run(const std::vector<std::string>& args) {
    if (args.size() == 1 && args[0] == "--version") {
        std::cout << "morvanta-lang " << GetFileVersionText(RunningExecutablePath()) << "\n";
        return 0;
    }
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << Help;
        return 0;
    }
    if ((args.size() == 2 || args.size() == 3) && args[0] == "to-text") {
        const std::string text = FormatLanguageText(ReadLanguageRecords(args[1]));
        if (args.size() == 2)
            std::cout << text;
        else
            WriteTextFile(args[2], text);
        return 0;
    }
    if (args.size() == 3 && args[0] == "to-spk") {
        std::vector<TRawRecord> records;
        try {
            records = ParseLanguageText(ReadTextFile(args[1]));
        } catch (const EMorvantaError& e) {
            throw EMorvantaError(args[1] + ": " + e.what());
        }
        WriteLanguageRecords(records, args[2]);
        return 0;
    }
    std::cerr << Usage;
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::cerr << "morvanta-lang: " << e.what() << "\n";
        return 1;
    }
}
