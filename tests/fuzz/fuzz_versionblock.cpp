// The version block reader: a block that parses must encode back to the very bytes it came
// from, and the file scan must survive any number of marker copies and broken blocks.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "lang/U_VersionInfo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    if (const auto block = ParseVersionBlock(bytes)) {
        const std::vector<std::uint8_t> encoded = EncodeVersionBlock(*block);
        if (encoded.size() > size || !std::equal(encoded.begin(), encoded.end(), data))
            __builtin_trap();
    }
    static TFuzzFile file(".bin");
    const std::string& path = file.Write(data, size);
    (void)GetFileVersionText(path);
    TVersionInfo info;
    info.SetFileName(path);
    (void)info.FileVersion();
    (void)info.CompanyName();
    (void)info.FileVersionInt();
    (void)info.LanguageName();
    (void)info.FileDate();
    return 0;
}
