#pragma once
// The checks made before the first frame is rendered, with the rules the render and the
// multiplexing apply later, so that a file that cannot be used is found in the first second and
// not after minutes of rendering.
#include <optional>
#include <string>
#include <vector>

#include "platform/base/U_StringList.h"

struct TPictureCheck {
    TStringList Paths;
    TStringList Captions;
    // One line per picture left out, saying which and why.
    std::vector<std::string> Skipped;
    // For each picture kept, its index among the entries.
    std::vector<std::size_t> Used;
};

// Why the render could not use the picture at `path`; none when it can. Missing and unsupported
// files give the log's texts ("File not found : ", "File not supported : "); a file the render
// cannot read, or whose header its decoder refuses, gives the render's own "Cannot load
// picture ..." message. Only the header is read: a file cut short later is found by the render.
std::optional<std::string> PictureProblem(const std::string& path, bool autoRotate);

// Splits the picture entries into paths and captions and leaves out every picture the render
// could not use.
TPictureCheck CheckPictures(const std::vector<std::string>& entries, bool autoRotate);

// Why the multiplexing could not use the soundtrack at `path`; none when it can. The content
// decides: an MPEG audio file's first frames are looked for as the multiplexing looks for them;
// any other song must hold a sound stream whose first samples decode.
std::optional<std::string> SoundtrackProblem(const std::string& path);
// The first song's problem of a soundtrack of several songs.
std::optional<std::string> SoundtrackProblem(const std::vector<std::string>& songs);

// The user's message for a soundtrack the multiplexing could not use ("Cannot use the
// soundtrack <path>: <why>"); none when it can. Checked when a soundtrack is chosen and again
// before the first frame of a run.
std::optional<std::string> SoundtrackRefusal(const std::string& path);
