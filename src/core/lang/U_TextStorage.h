#pragma once
// Message texts looked up by their English wording: `Items` holds the shown texts (a language
// file replaces them line by line), `BaseItems` the English list as it was built.
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/U_StringList.h"

class TTextStorage {
public:
    TTextStorage() = default;
    explicit TTextStorage(std::vector<std::string> items) : Items(std::move(items)) { Loaded(); }

    TStringList Items;

    // Takes the English copy; call once when the storage has been built, before any language
    // file touches `Items`.
    void Loaded() { baseItems_ = Items.Items(); }
    const std::vector<std::string>& BaseItems() const { return baseItems_; }

    // The text to show for an English message: the line of `Items` at the message's place in
    // `BaseItems` (found without regard to case), or the message itself when it is not listed
    // or its line reads "unused".
    std::string TranslateText(std::string_view message) const;

private:
    std::vector<std::string> baseItems_;
};

// Whether two texts are equal when ASCII letters are compared without regard to case.
bool SameTextIgnoringCase(std::string_view a, std::string_view b);
