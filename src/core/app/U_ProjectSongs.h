#pragma once
// The songs of a soundtrack in a project file. The ";Sound=" line holds the first song, as it
// always did; each further song has a ";Song=" line after it, which older readers skip as an
// unknown header line. A project with one song therefore reads and writes as before.
#include <string>
#include <string_view>
#include <vector>

struct TProject;

// True when `line` is a further song's line; its path is appended to `songs`.
bool ReadSongLine(std::string_view line, std::vector<std::string>& songs);
// The ";Song=" lines, CR LF ended, for the songs after the first.
std::string SongLines(const std::vector<std::string>& moreSongs);
// Every song of the project's soundtrack in order: the ";Sound=" song unless it is empty, then
// the others.
std::vector<std::string> ProjectSongs(const TProject& project);
