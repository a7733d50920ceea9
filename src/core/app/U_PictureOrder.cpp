#include "app/U_PictureOrder.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "platform/os/U_FileOps.h"

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerAscii(std::string text) {
    for (char& c : text) c = LowerAscii(c);
    return text;
}

// Natural comparison ignoring case and leading zeros; 0 for names that read the same.
int CompareLoosely(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            // Compare the runs' values without converting them: any length works.
            while (i < a.size() && a[i] == '0') ++i;
            while (j < b.size() && b[j] == '0') ++j;
            std::size_t endA = i, endB = j;
            while (endA < a.size() && IsDigit(a[endA])) ++endA;
            while (endB < b.size() && IsDigit(b[endB])) ++endB;
            if (endA - i != endB - j) return endA - i < endB - j ? -1 : 1;
            const int c = a.compare(i, endA - i, b, j, endB - j);
            if (c != 0) return c < 0 ? -1 : 1;
            i = endA;
            j = endB;
            continue;
        }
        const auto ca = static_cast<unsigned char>(LowerAscii(a[i]));
        const auto cb = static_cast<unsigned char>(LowerAscii(b[j]));
        if (ca != cb) return ca < cb ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

} // namespace

int CompareNaturalNames(const std::string& a, const std::string& b) {
    if (const int c = CompareLoosely(a, b); c != 0) return c;
    // "IMG1" and "img01" read the same: fall back to the bytes for a fixed order.
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

void SortByDirectoryOrder(std::vector<std::string>& files) {
    if (files.empty()) return;
    const std::string folder = FolderOf(files.front());
    std::vector<std::string> names; // plain files of the folder
    std::error_code ec;
    std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_directory(typeError)) continue;
        names.push_back(it->path().filename().string());
    }
    if (ec) {
        files.clear();
        return;
    }

    const std::set<std::string> present(names.begin(), names.end());
    std::set<std::string> exact, loose;
    for (const std::string& file : files) {
        if (FolderOf(file) != folder) continue;
        const std::string name = FileNameOf(file);
        if (present.count(name) != 0)
            exact.insert(name);
        else
            loose.insert(LowerAscii(name));
    }
    std::vector<std::string> chosen;
    for (const std::string& name : names)
        if (exact.count(name) != 0 || loose.count(LowerAscii(name)) != 0) chosen.push_back(name);
    std::sort(chosen.begin(), chosen.end(), [](const std::string& a, const std::string& b) {
        return CompareNaturalNames(a, b) < 0;
    });

    files.clear();
    for (const std::string& name : chosen) files.push_back(folder + name);
}
