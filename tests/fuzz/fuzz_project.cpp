// Project files: parse, take the entries apart, write them back and parse again. Besides
// crashes, a save that does not read back as itself is a finding: once a project has been
// saved and loaded, saving it again must give the same text.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "app/U_Project.h"
#include "app/U_ProjectSongs.h"

namespace {

std::string Save(const TProject& project) {
    std::vector<std::string> paths, captions;
    for (const std::string& entry : project.Entries) {
        TPictureEntry picture = SplitPictureEntry(entry);
        paths.push_back(std::move(picture.Path));
        captions.push_back(std::move(picture.Caption));
    }
    return FormatProject(project.Effect.value_or(TEffect::None), project.Sound.value_or(""),
                         project.Output.value_or(""), paths, captions, project.MoreSongs);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const std::string_view text(reinterpret_cast<const char*>(data), size);
        TProject project = ParseProject(text);
        const std::string once = Save(project);
        const std::string twice = Save(ParseProject(once));
        if (Save(ParseProject(twice)) != twice) __builtin_trap();
        for (const std::string& entry : project.Entries)
            (void)IsSupportedPicture(SplitPictureEntry(entry).Path);
        ResolveProjectPaths(project, "/home/user/Pictures");
        // The soundtrack's songs: the ";Sound=" one first, none empty.
        const std::vector<std::string> songs = ProjectSongs(project);
        for (const std::string& song : songs)
            if (song.empty()) __builtin_trap();
        (void)WithExactExtension(project.Output.value_or(""), ".mrv");
    } catch (const std::exception&) {
    }
    return 0;
}
