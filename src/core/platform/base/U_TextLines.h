#pragma once
// Text split into lines and joined back, for project files and language files alike.
#include <string>
#include <string_view>
#include <vector>

// The lines of `text`: CR LF, LF or CR ends a line; a last line without an ending still counts,
// a final line break adds no empty line.
std::vector<std::string> SplitLines(std::string_view text);
// Each line ended by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);
