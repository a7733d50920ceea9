#pragma once
// Project files (".mrv"): a header of ";Name=value" lines, then one picture entry per line.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/U_ProjectStyle.h"
#include "platform/base/U_Limits.h"

enum class TEffect { None, Greyscale, Sepia };

// What a project file says. Header values it does not mention stay unset, so that the
// window keeps its current state for them.
struct TProject {
    std::optional<TEffect> Effect;      // set by an ";Effect=" line
    std::optional<std::string> Sound;   // rest of the last ";Sound=" line, possibly empty
    std::optional<std::string> Output;  // rest of the last ";Output=" line, possibly empty
    std::vector<std::string> MoreSongs; // the songs after the ";Sound=" one (U_ProjectSongs)
    std::vector<std::string> Entries;   // picture entries: "path" or "path<TAB>caption"
    TProjectStyle Style;                // the look's header lines (U_ProjectStyle)
};

// A picture entry taken apart: only the first tab separates; without one the caption is the
// path's file name.
struct TPictureEntry {
    std::string Path;
    std::string Caption;
};
TPictureEntry SplitPictureEntry(const std::string& entry);

// Why a picture cannot join the list, as the log line says it ("File not found : " + path,
// "File not supported : " + path); none when it can.
std::optional<std::string> PictureRejection(const std::string& path);
// ".jpg", ".jpeg" or ".bmp", compared without regard to case.
bool IsSupportedPicture(const std::string& path);

// Projects larger than this are refused with an error.
inline constexpr std::size_t ProjectMaxFileBytes = MaxProjectFileBytes;

// Why `text` cannot be a project file (binary data, UTF-16), or none when it can.
std::optional<std::string> NotAProjectReason(std::string_view text);
// A UTF-8 byte-order mark in front is skipped. Lines end at CR, LF or CR LF. Header lines are read
// while lines begin with ";"; the first other line (an empty one too) starts the picture entries.
TProject ParseProject(std::string_view text);
// Relative paths of pictures, soundtrack and output are taken from `folder`.
void ResolveProjectPaths(TProject& project, const std::string& folder);
// Reads, parses and resolves against the project's own folder. Throws EMorvantaError, also for
// a file that is not a project (see NotAProjectReason).
TProject LoadProject(const std::string& fileName);

// The file's text as Save writes it, with CR LF line ends.
// `moreSongs`: the soundtrack's songs after `sound`, the first.
std::string FormatProject(TEffect effect, const std::string& sound, const std::string& output,
                          const std::vector<std::string>& paths,
                          const std::vector<std::string>& captions,
                          const std::vector<std::string>& moreSongs = {},
                          const TShowLook& look = {});
// `name` with `extension` appended unless it already ends in exactly that extension
// (case-sensitive: holiday.MRV becomes holiday.MRV.mrv).
std::string WithExactExtension(const std::string& name, const std::string& extension);
// Writes the project under `chosenName` with ".mrv" appended as needed, replacing any file
// there; returns the name written. Throws EMorvantaError.
std::string SaveProject(const std::string& chosenName, TEffect effect, const std::string& sound,
                        const std::string& output, const std::vector<std::string>& paths,
                        const std::vector<std::string>& captions,
                        const std::vector<std::string>& moreSongs = {}, const TShowLook& look = {});
