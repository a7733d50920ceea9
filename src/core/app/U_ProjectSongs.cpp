#include "app/U_ProjectSongs.h"

#include "app/U_Project.h"

namespace {

constexpr std::string_view SongPrefix = ";Song=";

} // namespace

bool ReadSongLine(std::string_view line, std::vector<std::string>& songs) {
    if (!line.starts_with(SongPrefix)) return false;
    const std::string_view path = line.substr(SongPrefix.size());
    if (!path.empty()) songs.emplace_back(path);
    return true;
}

std::string SongLines(const std::vector<std::string>& moreSongs) {
    std::string text;
    for (const auto& song : moreSongs)
        if (!song.empty()) text += std::string(SongPrefix) + song + "\r\n";
    return text;
}

std::vector<std::string> ProjectSongs(const TProject& project) {
    std::vector<std::string> songs;
    if (project.Sound && !project.Sound->empty()) songs.push_back(*project.Sound);
    songs.insert(songs.end(), project.MoreSongs.begin(), project.MoreSongs.end());
    return songs;
}
