#pragma once
// Language files: the header record (`TLanguageRecord`), the component entries that follow it,
// the display name a file is listed under, and the scan of the language folders. What the
// window does with an entry (finding the component, setting its texts) is the window's.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lang/U_Storefile.h"
#include "platform/base/U_TextLines.h" // items texts are split and joined as lines

// Language files beyond this size are not read: a full translation is a few dozen kilobytes.
inline constexpr std::int64_t MaxLanguageFileBytes = std::int64_t{16} << 20;
// The largest minimum font size a file may ask for; larger values are taken as this.
inline constexpr std::int32_t MaxLanguageMinFontSize = 72;
// The newest layout this program reads.
inline constexpr int LanguageFileRevision = 4;

// Record keys of the header and of the entries.
enum : std::int32_t {
    LangKeyIdentity = 0,
    LangKeyVersion = 512,
    LangKeyInputMethod = 513,
    LangKeyFontName = 514,
    LangKeyCharset = 515,
    LangKeyReservedInt = 516, // also the minimum font size, in revision 4
    LangKeyReservedText1 = 517,
    LangKeyReservedText2 = 518,
    LangKeyPath = 528, // plus the number of texts the entry offers
    LangKeyAlignment = 768,
};

// Bits of a text record's key.
enum : std::int32_t {
    TextKindMask = 0x0F,
    TextKindCaption = 1,
    TextKindHint = 2,
    TextKindItems = 3,
    TextShowHint = 0x10,
    TextTranslated = 0x20,
};

// Raised for a revision this program cannot read; nothing has been changed by then.
class ELanguageFormat : public EMorvantaError {
public:
    ELanguageFormat() : EMorvantaError("Format not supported in this revision") {}
};

struct TLanguageRecord {
    std::uint16_t LanguageId = 0;
    std::uint16_t Revision = 0;
    std::string Header1, Header2, Header3;
    std::string Notes;              // lines separated by CR LF
    std::vector<std::uint8_t> Icon; // a BMP file, or empty
    std::int32_t Version = 0;       // packed program version
    std::int32_t ReservedInt = 0;
    std::string ReservedText1, ReservedText2;
    std::string InputMethod;
    std::string FontName;
    std::uint8_t Charset = 1;
    std::int32_t MinFontSize = 8;
};

struct TLangText {
    std::int32_t Key = 0;
    std::string Text;
    // Whether a revision 1-4 file means this text to be applied.
    bool Translated() const { return Key > 0 && (Key & TextTranslated) != 0; }
    bool ShowHint() const { return (Key & TextShowHint) != 0; }
};

struct TLanguageEntry {
    std::int32_t PathKey = 0; // revision 0: the entry's kind (6 ... 13)
    std::string Path;
    std::int32_t Alignment = 0; // revisions 3 and 4
    TLangText Caption, Hint, Items;
    bool HasCaption = false, HasHint = false, HasItems = false;
    // Whether a text of this entry is to be applied in a file of `revision`: marked translated
    // in revisions 1-4, not empty in revision 0.
    static bool Applies(const TLangText& text, int revision) {
        return revision == 0 ? !text.Text.empty() : text.Translated();
    }
};

// Opens a language file read-only for applying: false when it is missing, too large, has the
// wrong signature or 5 records or fewer.
bool OpenLanguageFile(TStorefile& store, const std::string& path);
// Reads the header from record 0 on. Throws ELanguageFormat for a revision above 4.
TLanguageRecord ReadLanguageHeader(TStorefile& store);
// Reads the next entry; false at the end of the file. A truncated entry reads its missing
// records as empty ones with key 0.
bool ReadLanguageEntry(TStorefile& store, int revision, TLanguageEntry& entry);
// The records an entry of a revision 0 file of `kind` carries after its path.
int Revision0EntryRecords(std::int32_t kind);

// Writes a revision 4 header (the reference file's layout) into an empty store.
void WriteLanguageHeader(TStorefile& store, const TLanguageRecord& record);
// Appends one entry in the revision 3/4 layout: path (528 + texts offered), alignment, then
// caption, hint and items, each an empty record with key 0 when not offered.
void AppendLanguageEntry(TStorefile& store, const TLanguageEntry& entry);

// --- Finding and listing language files ---

// folder + prefix + key as 8 upper-case hex digits + ".SPK" (folder ends with '/' or is empty).
std::string LanguageFileName(const std::string& folder, const std::string& prefix,
                             std::uint32_t key);
// "Header1 - Header3", or "Header1 [a.b.c.d] - Header3" for revision 1 and later; nothing when
// the file does not open as a language file.
std::optional<std::string> LanguageDisplayName(const std::string& path);

struct TLanguageListing {
    std::string DisplayName;
    std::uint32_t Key = 0; // (variant << 16) | language identifier
    std::string Path;
};
// Every language file for the built-in identifiers, in table order, variants 0, 1, ... up to
// the first missing one. Each name is looked for in `folders` in order; the first folder that
// has it wins. Files that do not open are skipped.
std::vector<TLanguageListing> ScanLanguages(const std::vector<std::string>& folders,
                                            const std::string& prefix);
// The entry a stored key selects: the same key, else the same identifier, else the same
// primary language; -1 when none.
int MatchStoredLanguage(const std::vector<TLanguageListing>& languages, std::uint32_t stored);
// The entry the user's language identifier selects: the same identifier, else the same
// primary language; -1 when none.
int MatchUserLanguage(const std::vector<TLanguageListing>& languages, std::uint16_t langId);
