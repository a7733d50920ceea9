#include "lang/U_LangText.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "lang/U_LangFile.h"
#include "lang/U_Storefile.h"
#include "lang/U_VersionInfo.h"

namespace {

constexpr std::array<TLangRoleInfo, 20> Roles = {{
    {TLangRole::Identity, "language", TLangValue::Identity, LangKeyIdentity},
    {TLangRole::Header1, "header1", TLangValue::Text, 1},
    {TLangRole::Header2, "header2", TLangValue::Text, 2},
    {TLangRole::Header3, "header3", TLangValue::Text, 3},
    {TLangRole::Notes, "notes", TLangValue::Text, 4},
    {TLangRole::Icon, "icon", TLangValue::Bytes, 5},
    {TLangRole::Version, "version", TLangValue::Version, LangKeyVersion},
    {TLangRole::ReservedInt, "reserved-int", TLangValue::Integer, LangKeyReservedInt},
    {TLangRole::ReservedText1, "reserved-text1", TLangValue::Text, LangKeyReservedText1},
    {TLangRole::ReservedText2, "reserved-text2", TLangValue::Text, LangKeyReservedText2},
    {TLangRole::InputMethod, "input-method", TLangValue::Text, LangKeyInputMethod},
    {TLangRole::FontName, "font", TLangValue::Text, LangKeyFontName},
    {TLangRole::Charset, "charset", TLangValue::Integer, LangKeyCharset},
    {TLangRole::MinFontSize, "min-font-size", TLangValue::Integer, LangKeyReservedInt},
    {TLangRole::Entry, "entry", TLangValue::Text, LangKeyPath},
    {TLangRole::Align, "align", TLangValue::Integer, LangKeyAlignment},
    {TLangRole::Caption, "caption", TLangValue::Text, TextKindCaption},
    {TLangRole::Hint, "hint", TLangValue::Text, TextKindHint},
    {TLangRole::Items, "items", TLangValue::Text, TextKindItems},
    {TLangRole::Raw, "raw", TLangValue::Bytes, 0},
}};

bool IsTextRole(TLangRole role) {
    return role == TLangRole::Caption || role == TLangRole::Hint || role == TLangRole::Items;
}

std::int32_t Int32Of(const std::string& payload) {
    std::uint32_t u = 0;
    for (int i = 0; i < 4; ++i)
        u |= std::uint32_t{static_cast<std::uint8_t>(payload[i])} << (8 * i);
    return static_cast<std::int32_t>(u);
}

bool ValueFits(TLangValue value, const std::string& payload) {
    switch (value) {
    case TLangValue::Identity:
        return payload.size() == 2 || payload.size() == 4;
    case TLangValue::Integer:
    case TLangValue::Version:
        return payload.size() == 4;
    default:
        return true;
    }
}

std::string Hex(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

// A text can be written as "|" lines when each of its lines ends with CR LF and holds only
// printable UTF-8 without trailing blanks (which editors tend to drop).
bool FitsBlock(const std::string& text) {
    if (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0) return false;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\r') {
            if (i + 1 >= text.size() || text[i + 1] != '\n') return false;
            if (i > lineStart && (text[i - 1] == ' ' || text[i - 1] == '\t')) return false;
            i += 2;
            lineStart = i;
            continue;
        }
        const std::size_t n = Utf8SequenceLength(text, i);
        if (n == 0 || c < 0x20 || c == 0x7F) return false;
        i += n;
    }
    return true;
}

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t n = Utf8SequenceLength(text, i);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (n == 0 || c < 0x20 || c == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out.append(text, i, n);
            i += n;
            continue;
        }
        ++i;
    }
    return out + "\"";
}

bool IsBarePath(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.')) return false;
    return true;
}

void AppendBytes(std::string& out, const std::string& indent, const std::string& payload) {
    const std::string encoded = EncodeBase64(payload);
    for (std::size_t i = 0; i < encoded.size(); i += 76)
        out += indent + "  : " + encoded.substr(i, 76) + "\n";
}

void AppendTextValue(std::string& out, const std::string& indent, const std::string& text) {
    if (!FitsBlock(text)) {
        out += " " + Quoted(text) + "\n";
        return;
    }
    out += "\n";
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        const std::string line = text.substr(start, end - start);
        out += indent + "  |" + (line.empty() ? "" : " " + line) + "\n";
        start = end + 2;
    }
}

// The key an "entry" line stands for when it gives none: the path key plus the texts offered.
std::int32_t DefaultEntryKey(const std::vector<TRawRecord>& records,
                             const std::vector<TLangRole>& roles, std::size_t entry) {
    std::int32_t offered = 0;
    for (std::size_t i = entry + 1; i < records.size() && roles[i] != TLangRole::Entry; ++i)
        if (IsTextRole(roles[i]) && !(records[i].Key == 0 && records[i].Payload.empty())) ++offered;
    return LangKeyPath + offered;
}

} // namespace

const TLangRoleInfo& RoleInfo(TLangRole role) {
    return Roles[static_cast<std::size_t>(role)];
}

std::vector<TLangRole> LanguageRoles(const std::vector<TRawRecord>& records) {
    std::vector<TLangRole> roles;
    if (records.empty()) return roles;
    const std::string& identity = records[0].Payload;
    const int revision =
        identity.size() == 4 ? static_cast<std::uint32_t>(Int32Of(identity)) >> 16 : 0;
    using R = TLangRole;
    roles = {R::Identity, R::Header1, R::Header2, R::Header3, R::Notes, R::Icon};
    if (revision >= 1) roles.push_back(R::Version);
    if (revision >= 2)
        roles.insert(roles.end(), {R::ReservedInt, R::ReservedText1, R::ReservedText2});
    if (revision >= 1) roles.insert(roles.end(), {R::InputMethod, R::FontName, R::Charset});
    if (revision >= 4) roles.push_back(R::MinFontSize);
    roles.resize(std::min(roles.size(), records.size()));
    while (roles.size() < records.size()) {
        const std::int32_t kind = records[roles.size()].Key;
        roles.push_back(R::Entry);
        std::vector<R> texts = {R::Caption, R::Hint, R::Items};
        if (revision == 0) {
            const int n = Revision0EntryRecords(kind);
            texts = n == 1 ? std::vector<R>{R::Items}
                           : std::vector<R>(texts.begin(), texts.begin() + n);
        } else if (revision >= 3) {
            texts.insert(texts.begin(), R::Align);
        }
        for (R role : texts)
            if (roles.size() < records.size()) roles.push_back(role);
    }
    return roles;
}

std::string FormatLanguageText(const std::vector<TRawRecord>& records) {
    std::string out =
        "# Morvanta language file in text form; \"morvanta-lang to-spk\" makes the .SPK file.\n"
        "# Texts are UTF-8. The program applies only texts marked \"translated\". Lines that\n"
        "# start with \"|\" are the lines of a multi-line text.\n";
    const std::vector<TLangRole> roles = LanguageRoles(records);
    bool inEntries = false;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const TRawRecord& record = records[i];
        TLangRole role = roles[i];
        const std::string indent = inEntries && role != TLangRole::Entry ? "  " : "";
        if (role == TLangRole::Entry) {
            out += "\n";
            inEntries = true;
        }
        if (!ValueFits(RoleInfo(role).Value, record.Payload)) role = TLangRole::Raw;
        const TLangRoleInfo& info = RoleInfo(role);
        if (IsTextRole(role) && record.Key == 0 && record.Payload.empty()) {
            out += indent + "empty\n";
            continue;
        }
        out += indent + info.Keyword;
        std::int32_t usual = info.Key;
        if (role == TLangRole::Entry) usual = DefaultEntryKey(records, roles, i);
        if (IsTextRole(role) && record.Key > 0 &&
            (record.Key & ~(TextShowHint | TextTranslated)) == info.Key) {
            if (record.Key & TextTranslated) out += " translated";
            if (record.Key & TextShowHint) out += " show-hint";
        } else if (record.Key != usual || role == TLangRole::Raw) {
            out += " key=" + std::to_string(record.Key);
        }
        switch (info.Value) {
        case TLangValue::Identity: {
            const auto value = static_cast<std::uint32_t>(
                record.Payload.size() == 4 ? Int32Of(record.Payload)
                                           : Int32Of(record.Payload + std::string(2, '\0')));
            out += " " + Hex(value & 0xFFFF, 4);
            if (record.Payload.size() == 4) out += " revision=" + std::to_string(value >> 16);
            out += "\n";
            break;
        }
        case TLangValue::Integer:
            out += " " + std::to_string(Int32Of(record.Payload)) + "\n";
            break;
        case TLangValue::Version:
            out +=
                " " + PackedVersionText(static_cast<std::uint32_t>(Int32Of(record.Payload))) + "\n";
            break;
        case TLangValue::Bytes:
            out += "\n";
            AppendBytes(out, indent, record.Payload);
            break;
        case TLangValue::Text:
            if (role == TLangRole::Entry)
                out += " " +
                       (IsBarePath(record.Payload) ? record.Payload : Quoted(record.Payload)) +
                       "\n";
            else
                AppendTextValue(out, indent, record.Payload);
            break;
        case TLangValue::None:
            out += "\n";
            break;
        }
    }
    return out;
}

std::vector<TRawRecord> ReadLanguageRecords(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        throw EMorvantaError("File not found : " + path);
    if (std::filesystem::file_size(path, ec) > static_cast<std::uintmax_t>(MaxLanguageFileBytes))
        throw EMorvantaError(path + " is too large for a language file");
    TStorefile store;
    store.Signature = std::string(LanguageFileSignature);
    store.Filename = path;
    store.ReadOnly = true;
    if (!store.Open()) throw EMorvantaError(path + " is not a language file");
    std::vector<TRawRecord> records;
    while (!store.AtEnd()) {
        TRawRecord& record = records.emplace_back();
        record.Key = store.ReadString(record.Payload);
        if (store.Damaged())
            throw EMorvantaError(path + ": record " + std::to_string(records.size() - 1) +
                                 " is damaged");
    }
    if (static_cast<std::size_t>(store.Count()) != records.size() || store.Count() < 0)
        throw EMorvantaError(path + ": the header counts " + std::to_string(store.Count()) +
                             " records, the file holds " + std::to_string(records.size()));
    return records;
}

void WriteLanguageRecords(const std::vector<TRawRecord>& records, const std::string& path) {
    const std::string temporary = path + ".part";
    ::unlink(temporary.c_str());
    try {
        TStorefile store;
        store.Signature = std::string(LanguageFileSignature);
        store.Filename = temporary;
        if (!store.Open()) throw EMorvantaError("Cannot create " + temporary);
        for (const TRawRecord& record : records)
            if (store.AppendString(record.Key, record.Payload) == 0)
                throw EMorvantaError("Cannot write " + temporary);
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        ::unlink(temporary.c_str());
        throw EMorvantaError("Cannot write " + path + ": " + ec.message());
    }
}
