#pragma once
// A picture's own settings given on a command line after its caption, each field in the form of
// the project file's picture lines: "transition=iris", "motion=zoom-in,fill=blur", "time=4000".
#include <string_view>

#include "video/U_ShowStyle.h"

// Sets on `style` what a field of key=value pairs gives, a later pair overriding an earlier one,
// and returns true. False, with `style` unchanged, for a field of another shape (caption text).
// Throws EMorvantaError naming the pair for a key no picture takes or a value its key cannot
// take, so that a mistyped setting is not shown as a caption.
bool ReadPictureField(std::string_view field, TPictureStyle& style);

// The form ReadPictureField takes, for messages and help.
inline constexpr std::string_view PictureFieldForm =
    "time=MS, transition=NAME, motion=NAME or fill=NAME";
