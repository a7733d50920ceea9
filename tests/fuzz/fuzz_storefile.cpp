// Language files, read as the program reads them: the listing name, the header and every
// entry, and the record file's backward steps. Then the text form: a file that converts to
// text must convert back to the same bytes, and text that parses must survive a second trip.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "lang/U_LangFile.h"
#include "lang/U_LangText.h"

namespace {

void ReadAsTheProgramDoes(const std::string& path, std::size_t size) {
    (void)LanguageDisplayName(path);
    TStorefile store;
    if (!OpenLanguageFile(store, path)) return;
    try {
        const TLanguageRecord header = ReadLanguageHeader(store);
        TLanguageEntry entry;
        std::size_t entries = 0;
        while (ReadLanguageEntry(store, header.Revision, entry))
            if (++entries > size / 12 + 1) __builtin_trap(); // every entry takes a record
    } catch (const ELanguageFormat&) {
    }
    // Backward steps never run past the first record.
    store.Last();
    std::int32_t steps = 0;
    while (store.Prior())
        if (++steps > store.Count()) __builtin_trap();
    store.SeekRecord(store.Count() / 2);
    std::int32_t value = 0;
    store.ReadInteger(value, false);
}

void TextRoundTrip(const std::string& path, const std::string& bytes) {
    std::vector<TRawRecord> records;
    try {
        records = ReadLanguageRecords(path);
    } catch (const EMorvantaError&) {
        return;
    }
    const std::string text = FormatLanguageText(records);
    if (ParseLanguageText(text) != records) __builtin_trap();
    static TFuzzFile again(".again.SPK");
    const std::string& out = again.Write(nullptr, 0);
    WriteLanguageRecords(records, out);
    std::ifstream in(out, std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
    if (written != bytes) __builtin_trap();
}

void ParseText(std::string_view text) {
    std::vector<TRawRecord> records;
    try {
        records = ParseLanguageText(text);
    } catch (const EMorvantaError&) {
        return;
    }
    if (ParseLanguageText(FormatLanguageText(records)) != records) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static TFuzzFile file(".SPK");
    const std::string& path = file.Write(data, size);
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    ReadAsTheProgramDoes(path, size);
    TextRoundTrip(path, bytes);
    ParseText(bytes);
    return 0;
}
