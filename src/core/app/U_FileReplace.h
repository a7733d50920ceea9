#pragma once
// Replacing a whole file so that it is never seen half written: the new contents go to a file
// beside it, which is then renamed over it. A reader, a crash or a full disk finds the old file
// or the new one, never a part of either.
#include <string>
#include <string_view>

// Returns 0, or the errno of the step that failed; the file beside is removed then and the old
// file is left as it was.
int ReplaceFileContents(const std::string& fileName, std::string_view bytes);
