#pragma once
// Plain words for the errors that name only a step and a result code ("FileOpen failed. Err:
// $8004406F (U_BmpToAvi, ligne 118)"): what failed and what to try. The coded text stays as it
// is; this is the line shown after it.
#include <string>

// "" for a message that is not one of those coded errors.
std::string PlainWordsFor(const std::string& message);
