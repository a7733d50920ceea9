#pragma once
// The readable text form of a language file, for translators: one line per record, the texts
// in UTF-8, multi-line texts as "|" lines, the icon in base64. Converting a file to text and
// back gives the same bytes.
//
//   language 0x040C revision=4
//   header1 "Français"
//   ...
//   entry MainDlg.go_btn
//     align 0
//     caption translated "Go !"
//     hint translated show-hint "Start the video"
//     empty
//
// A record whose payload does not fit its place (an integer that is not 4 bytes, ...) is kept
// as "raw" bytes; "key=N" gives a key other than the usual one for the place.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/U_Errors.h"

struct TRawRecord {
    std::int32_t Key = 0;
    std::string Payload;
    bool operator==(const TRawRecord&) const = default;
};

// Every record of a language file, in order. Throws EMorvantaError when the file does not open
// as a language file, is larger than a language file may be, or has a damaged record or a
// count that does not match its records.
std::vector<TRawRecord> ReadLanguageRecords(const std::string& path);
// Writes a new language file with these records (replacing `path` only once it is complete).
void WriteLanguageRecords(const std::vector<TRawRecord>& records, const std::string& path);

std::string FormatLanguageText(const std::vector<TRawRecord>& records);
// Throws EMorvantaError "line N: ..." for text it cannot read.
std::vector<TRawRecord> ParseLanguageText(std::string_view text);

// --- Shared by the two directions ---

// Where a record sits in a language file decides its keyword and how its payload is written.
enum class TLangRole {
    Identity,
    Header1,
    Header2,
    Header3,
    Notes,
    Icon,
    Version,
    ReservedInt,
    ReservedText1,
    ReservedText2,
    InputMethod,
    FontName,
    Charset,
    MinFontSize,
    Entry,
    Align,
    Caption,
    Hint,
    Items,
    Raw
};
enum class TLangValue { Text, Integer, Version, Bytes, Identity, None };

struct TLangRoleInfo {
    TLangRole Role;
    const char* Keyword;
    TLangValue Value;
    std::int32_t Key; // the usual key (texts: their kind)
};
const TLangRoleInfo& RoleInfo(TLangRole role);
// The roles of the records of a file, from its first record's payload on.
std::vector<TLangRole> LanguageRoles(const std::vector<TRawRecord>& records);

std::string EncodeBase64(std::string_view bytes);
// False for anything but canonical base64.
bool DecodeBase64(std::string_view text, std::string& bytes);
// Length of the valid UTF-8 sequence at text[at] (0 when it is not one).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at);
