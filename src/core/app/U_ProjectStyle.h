#pragma once
// The show's look and single pictures' own times and looks in a project file. They are header
// lines, which every earlier reader skips, and only what differs from the plain show is
// written, so a project that uses none of them is written as it always was:
//   ";Transition=iris", ";CaptionSize=18", ...  one line per value of the show (StyleSettings)
//   ";Picture=3:time=4000,transition=wipe-left"  picture 3 (counted from 1 in the file)
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "video/U_ShowStyle.h"

struct TProjectStyle {
    // The show's values the file sets, in file order (a later line overrides an earlier one).
    std::vector<std::pair<std::string, std::string>> Show;
    // Index-parallel to the project's picture entries once the file is read; may be shorter.
    std::vector<TPictureStyle> Pictures;
    // The picture lines as read (number from 1, style), until FinishProjectStyle.
    std::vector<std::pair<std::size_t, TPictureStyle>> Numbered;
    // One line for each style line that could not be used, for the log.
    std::vector<std::string> Notes;
};

// Takes a header line when it is one of the above; false for any other line.
bool ReadProjectStyleLine(std::string_view line, TProjectStyle& style);
// After the header: Pictures made from the picture lines; those of entries beyond `entryCount`
// are dropped, each with a note.
void FinishProjectStyle(TProjectStyle& style, std::size_t entryCount);
// The show values of `style` set on `show`; values the file does not mention are kept.
void ApplyProjectStyle(const TProjectStyle& style, TShowStyle& show);

// What a project file is given to write of the look.
struct TShowLook {
    TShowStyle Show;
    std::vector<TPictureStyle> Pictures; // index-parallel to the pictures written
};

// The header lines (CR LF ended) for the look; "" for a plain show.
std::string FormatProjectStyle(const TShowLook& look);
