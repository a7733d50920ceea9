#include "lang/U_LangFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "lang/U_LanguageTable.h"
#include "lang/U_VersionInfo.h"

namespace {

bool OpenReadOnly(TStorefile& store, const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || size > static_cast<std::uintmax_t>(MaxLanguageFileBytes)) return false;
    store.Signature = std::string(LanguageFileSignature);
    store.Filename = path;
    store.ReadOnly = true;
    return store.Open();
}

std::string ReadText(TStorefile& store) {
    std::string text;
    store.ReadString(text);
    return text;
}

std::int32_t ReadInt(TStorefile& store) {
    std::int32_t value = 0;
    store.ReadInteger(value);
    return value;
}

TLangText ReadLangText(TStorefile& store) {
    TLangText text;
    text.Key = store.ReadString(text.Text);
    return text;
}

void AppendText(TStorefile& store, bool offered, const TLangText& text) {
    if (offered)
        store.AppendString(text.Key, text.Text);
    else
        store.AppendString(0, "");
}

} // namespace

bool OpenLanguageFile(TStorefile& store, const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec) || !OpenReadOnly(store, path)) return false;
    if (store.Count() <= 5) {
        store.Close();
        return false;
    }
    return true;
}

TLanguageRecord ReadLanguageHeader(TStorefile& store) {
    TLanguageRecord record;
    store.First();
    std::uint8_t identity[4] = {};
    std::int32_t size = 4;
    store.ReadRecord(identity, size);
    record.LanguageId = static_cast<std::uint16_t>(identity[0] | (identity[1] << 8));
    record.Revision = size == 4 ? static_cast<std::uint16_t>(identity[2] | (identity[3] << 8)) : 0;
    record.Header1 = ReadText(store);
    record.Header2 = ReadText(store);
    record.Header3 = ReadText(store);
    record.Notes = ReadText(store);
    store.ReadBytes(record.Icon);
    if (record.Revision > LanguageFileRevision) throw ELanguageFormat();
    if (record.Revision == 0) return record;
    record.Version = ReadInt(store);
    if (record.Revision >= 2) {
        record.ReservedInt = ReadInt(store);
        record.ReservedText1 = ReadText(store);
        record.ReservedText2 = ReadText(store);
    }
    record.InputMethod = ReadText(store);
    record.FontName = ReadText(store);
    record.Charset = static_cast<std::uint8_t>(ReadInt(store) & 0xFF);
    if (record.Revision == 4)
        record.MinFontSize = std::clamp(ReadInt(store), 0, MaxLanguageMinFontSize);
    return record;
}

int Revision0EntryRecords(std::int32_t kind) {
    if (kind >= 6 && kind <= 10) return 2;
    if (kind == 11) return 3;
    if (kind == 12) return 1;
    if (kind == 13) return 2;
    return 0;
}

bool ReadLanguageEntry(TStorefile& store, int revision, TLanguageEntry& entry) {
    if (store.AtEnd()) return false;
    entry = TLanguageEntry{};
    entry.PathKey = store.ReadString(entry.Path);
    if (revision == 0) {
        const std::int32_t kind = entry.PathKey;
        entry.HasCaption = entry.HasHint = kind != 12 && Revision0EntryRecords(kind) >= 2;
        entry.HasItems = kind == 11 || kind == 12;
    } else {
        if (revision >= 3) entry.Alignment = ReadInt(store);
        entry.HasCaption = entry.HasHint = entry.HasItems = true;
    }
    if (entry.HasCaption) entry.Caption = ReadLangText(store);
    if (entry.HasHint) entry.Hint = ReadLangText(store);
    if (entry.HasItems) entry.Items = ReadLangText(store);
    return true;
}

void WriteLanguageHeader(TStorefile& store, const TLanguageRecord& record) {
    store.AppendInteger(LangKeyIdentity,
                        static_cast<std::int32_t>((std::uint32_t{4} << 16) | record.LanguageId));
    store.AppendString(1, record.Header1);
    store.AppendString(2, record.Header2);
    store.AppendString(3, record.Header3);
    store.AppendString(4, record.Notes);
    store.AppendRecord(5, record.Icon.data(), static_cast<std::int32_t>(record.Icon.size()));
    store.AppendInteger(LangKeyVersion, record.Version);
    store.AppendInteger(LangKeyReservedInt, record.ReservedInt);
    store.AppendString(LangKeyReservedText1, record.ReservedText1);
    store.AppendString(LangKeyReservedText2, record.ReservedText2);
    store.AppendString(LangKeyInputMethod, record.InputMethod);
    store.AppendString(LangKeyFontName, record.FontName);
    store.AppendInteger(LangKeyCharset, record.Charset);
    store.AppendInteger(LangKeyReservedInt, record.MinFontSize);
}

void AppendLanguageEntry(TStorefile& store, const TLanguageEntry& entry) {
    const int offered = int{entry.HasCaption} + int{entry.HasHint} + int{entry.HasItems};
    store.AppendString(LangKeyPath + offered, entry.Path);
    store.AppendInteger(LangKeyAlignment, entry.Alignment);
    AppendText(store, entry.HasCaption, entry.Caption);
    AppendText(store, entry.HasHint, entry.Hint);
    AppendText(store, entry.HasItems, entry.Items);
}

std::string LanguageFileName(const std::string& folder, const std::string& prefix,
                             std::uint32_t key) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", key);
    return folder + prefix + hex + ".SPK";
}

std::optional<std::string> LanguageDisplayName(const std::string& path) {
    TStorefile store;
    if (!OpenReadOnly(store, path)) return std::nullopt;
    std::int32_t identity = 0;
    std::int32_t size = 4;
    std::uint8_t bytes[4] = {};
    store.ReadRecord(bytes, size);
    identity = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (bytes[3] << 24);
    const unsigned revision = size == 4 ? static_cast<std::uint32_t>(identity) >> 16 : 0;
    const std::string header1 = ReadText(store);
    (void)ReadText(store);
    const std::string header3 = ReadText(store);
    if (revision == 0) return header1 + " - " + header3;
    store.Next();
    store.Next();
    const auto version = static_cast<std::uint32_t>(ReadInt(store));
    return header1 + " [" + PackedVersionText(version) + "] - " + header3;
}

std::vector<TLanguageListing> ScanLanguages(const std::vector<std::string>& folders,
                                            const std::string& prefix) {
    std::vector<TLanguageListing> languages;
    for (const TLanguageId& language : LanguageIds()) {
        for (std::uint32_t variant = 0; variant <= 0xFFFF; ++variant) {
            const std::uint32_t key = (variant << 16) | language.Id;
            std::string found;
            for (const std::string& folder : folders) {
                const std::string name = LanguageFileName(folder, prefix, key);
                struct stat info {};
                if (::stat(name.c_str(), &info) == 0) {
                    found = name;
                    break;
                }
            }
            if (found.empty()) break;
            if (auto name = LanguageDisplayName(found))
                languages.push_back({std::move(*name), key, found});
        }
    }
    return languages;
}

namespace {

template <class Same> int FirstWhere(const std::vector<TLanguageListing>& languages, Same same) {
    for (std::size_t i = 0; i < languages.size(); ++i)
        if (same(languages[i].Key)) return static_cast<int>(i);
    return -1;
}

} // namespace

int MatchStoredLanguage(const std::vector<TLanguageListing>& languages, std::uint32_t stored) {
    int i = FirstWhere(languages, [&](std::uint32_t key) { return key == stored; });
    if (i < 0) i = MatchUserLanguage(languages, static_cast<std::uint16_t>(stored & 0xFFFF));
    return i;
}

int MatchUserLanguage(const std::vector<TLanguageListing>& languages, std::uint16_t langId) {
    int i = FirstWhere(languages, [&](std::uint32_t key) { return (key & 0xFFFF) == langId; });
    if (i < 0)
        i = FirstWhere(languages,
                       [&](std::uint32_t key) { return (key & 0x3FF) == (langId & 0x3FFu); });
    return i;
}
