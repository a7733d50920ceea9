// Reading the text form of a language file back into records.
#include <charconv>
#include <cstring>
#include <limits>
#include <optional>

#include "lang/U_LangFile.h"
#include "lang/U_LangText.h"

namespace {

constexpr char Base64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

[[noreturn]] void Fail(std::size_t line, const std::string& message) {
    throw EMorvantaError("line " + std::to_string(line) + ": " + message);
}

std::string Int32Bytes(std::uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
    return bytes;
}

std::optional<std::uint32_t> ParseInt32(std::string_view token) {
    if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) {
        std::uint32_t value = 0;
        const auto [ptr, ec] =
            std::from_chars(token.data() + 2, token.data() + token.size(), value, 16);
        if (ec != std::errc() || ptr != token.data() + token.size()) return std::nullopt;
        return value;
    }
    std::int32_t value = 0;
    const auto [ptr, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (ec != std::errc() || ptr != token.data() + token.size()) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

std::optional<std::uint32_t> ParseVersion(std::string_view token) {
    const std::uint32_t limits[4] = {255, 255, 63, 1023};
    const int shifts[4] = {24, 16, 10, 0};
    std::uint32_t packed = 0;
    for (int group = 0; group < 4; ++group) {
        const std::size_t dot = group < 3 ? token.find('.') : token.size();
        if (dot == std::string_view::npos) return std::nullopt;
        std::uint32_t value = 0;
        const auto [ptr, ec] = std::from_chars(token.data(), token.data() + dot, value);
        if (ec != std::errc() || ptr != token.data() + dot || value > limits[group])
            return std::nullopt;
        packed |= value << shifts[group];
        token.remove_prefix(std::min(token.size(), dot + 1));
    }
    return packed;
}

// A double-quoted text from `at` (the opening quote); `at` ends after the closing quote.
std::optional<std::string> ParseQuoted(std::string_view line, std::size_t& at) {
    std::string text;
    for (++at; at < line.size(); ++at) {
        const char c = line[at];
        if (c == '"') {
            ++at;
            return text;
        }
        if (c != '\\') {
            text += c;
            continue;
        }
        if (++at >= line.size()) return std::nullopt;
        switch (line[at]) {
        case '\\':
            text += '\\';
            break;
        case '"':
            text += '"';
            break;
        case 'r':
            text += '\r';
            break;
        case 'n':
            text += '\n';
            break;
        case 't':
            text += '\t';
            break;
        case 'x': {
            unsigned value = 0;
            if (at + 2 >= line.size()) return std::nullopt;
            const auto [ptr, ec] =
                std::from_chars(line.data() + at + 1, line.data() + at + 3, value, 16);
            if (ec != std::errc() || ptr != line.data() + at + 3) return std::nullopt;
            text += static_cast<char>(value);
            at += 2;
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return std::nullopt;
}

const TLangRoleInfo* RoleByKeyword(std::string_view keyword) {
    for (int r = 0; r <= static_cast<int>(TLangRole::Raw); ++r) {
        const TLangRoleInfo& info = RoleInfo(static_cast<TLangRole>(r));
        if (keyword == info.Keyword) return &info;
    }
    return nullptr;
}

bool IsTextRole(TLangRole role) {
    return role == TLangRole::Caption || role == TLangRole::Hint || role == TLangRole::Items;
}

class TParser {
public:
    std::vector<TRawRecord> Records;

    void Line(std::size_t number, std::string_view line) {
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string_view::npos || line[start] == '#') return;
        if (line[start] == '|' || line[start] == ':')
            return Continuation(number, line.substr(start));
        Finish();
        Record(number, line.substr(start));
    }

    void End() {
        Finish();
        FinishEntry();
    }

private:
    void Continuation(std::size_t number, std::string_view line) {
        if (line[0] == '|' && pendingBlock_) {
            if (line.size() > 1 && line[1] != ' ') Fail(number, "a text line starts with \"| \"");
            Records.back().Payload.append(line.substr(std::min<std::size_t>(2, line.size())));
            Records.back().Payload += "\r\n";
        } else if (line[0] == ':' && pendingBytes_) {
            const std::size_t from = line.find_first_not_of(' ', 1);
            if (from != std::string_view::npos) base64_.append(line.substr(from));
        } else {
            Fail(number, "this line continues no record");
        }
        continuationLine_ = number;
    }

    void Finish() {
        if (pendingBytes_ && !DecodeBase64(base64_, Records.back().Payload))
            Fail(continuationLine_, "the base64 bytes cannot be read");
        pendingBlock_ = pendingBytes_ = false;
        base64_.clear();
    }

    void FinishEntry() {
        if (entryIndex_) Records[*entryIndex_].Key = LangKeyPath + entryTexts_;
        entryIndex_.reset();
    }

    void Record(std::size_t number, std::string_view line) {
        const std::size_t space = std::min(line.find(' '), line.size());
        const std::string_view keyword = line.substr(0, space);
        TRawRecord& record = Records.emplace_back();
        if (keyword == "empty") {
            if (line.find_first_not_of(' ', space) != std::string_view::npos)
                Fail(number, "\"empty\" takes nothing");
            return;
        }
        const TLangRoleInfo* info = RoleByKeyword(keyword);
        if (info == nullptr) Fail(number, "unknown record \"" + std::string(keyword) + "\"");
        if (info->Role == TLangRole::Entry) FinishEntry();
        std::optional<std::uint32_t> key;
        std::optional<std::uint32_t> revision;
        std::int32_t flags = 0;
        std::optional<std::string> value;
        bool quoted = false;
        for (std::size_t at = space; at < line.size();) {
            if (line[at] == ' ') {
                ++at;
                continue;
            }
            if (line[at] == '"') {
                if (value) Fail(number, "more than one value");
                value = ParseQuoted(line, at);
                if (!value) Fail(number, "unfinished or wrong text in quotes");
                quoted = true;
                continue;
            }
            const std::size_t end = std::min(line.find(' ', at), line.size());
            const std::string_view token = line.substr(at, end - at);
            at = end;
            if (token.starts_with("key=")) {
                key = ParseInt32(token.substr(4));
                if (!key) Fail(number, "wrong key");
            } else if (token.starts_with("revision=")) {
                revision = ParseInt32(token.substr(9));
                if (!revision || *revision > 0xFFFF) Fail(number, "wrong revision");
            } else if (token == "translated" && IsTextRole(info->Role)) {
                flags |= TextTranslated;
            } else if (token == "show-hint" && IsTextRole(info->Role)) {
                flags |= TextShowHint;
            } else {
                if (value) Fail(number, "more than one value");
                value = std::string(token);
            }
        }
        record.Key =
            static_cast<std::int32_t>(key.value_or(static_cast<std::uint32_t>(info->Key | flags)));
        if (IsTextRole(info->Role) && entryIndex_) ++entryTexts_;
        switch (info->Value) {
        case TLangValue::Identity: {
            const auto id = value ? ParseInt32(*value) : std::nullopt;
            if (!id || *id > 0xFFFF || quoted) Fail(number, "wrong language identifier");
            record.Payload = Int32Bytes(*id | (revision.value_or(0) << 16));
            if (!revision) record.Payload.resize(2);
            break;
        }
        case TLangValue::Integer:
        case TLangValue::Version: {
            const auto number32 = !value || quoted                     ? std::nullopt
                                  : info->Value == TLangValue::Integer ? ParseInt32(*value)
                                                                       : ParseVersion(*value);
            if (!number32)
                Fail(number, std::string("wrong ") +
                                 (info->Value == TLangValue::Integer ? "number" : "version"));
            record.Payload = Int32Bytes(*number32);
            break;
        }
        case TLangValue::Bytes:
            if (value) Fail(number, "the bytes go on the following \":\" lines");
            pendingBytes_ = true;
            break;
        case TLangValue::Text:
            if (info->Role == TLangRole::Entry) {
                if (!value) Fail(number, "an entry needs its component path");
                if (!key) {
                    entryIndex_ = Records.size() - 1;
                    entryTexts_ = 0;
                }
            }
            if (value)
                record.Payload = std::move(*value);
            else
                pendingBlock_ = true;
            break;
        case TLangValue::None:
            break;
        }
    }

    bool pendingBlock_ = false;
    bool pendingBytes_ = false;
    std::string base64_;
    std::size_t continuationLine_ = 0;
    std::optional<std::size_t> entryIndex_;
    std::int32_t entryTexts_ = 0;
};

} // namespace

std::vector<TRawRecord> ParseLanguageText(std::string_view text) {
    TParser parser;
    std::size_t number = 0;
    while (!text.empty()) {
        ++number;
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        parser.Line(number, line);
        text.remove_prefix(std::min(text.size(), end + 1));
    }
    parser.End();
    return std::move(parser.Records);
}

std::string EncodeBase64(std::string_view bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t chunk = 0;
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        for (std::size_t j = 0; j < 3; ++j)
            chunk = (chunk << 8) | (j < n ? static_cast<std::uint8_t>(bytes[i + j]) : 0u);
        for (std::size_t j = 0; j < 4; ++j)
            out += j <= n ? Base64Alphabet[(chunk >> (18 - 6 * j)) & 0x3F] : '=';
    }
    return out;
}

bool DecodeBase64(std::string_view text, std::string& bytes) {
    bytes.clear();
    if (text.size() % 4 != 0) return false;
    for (std::size_t i = 0; i < text.size(); i += 4) {
        std::uint32_t chunk = 0;
        int pad = 0;
        for (std::size_t j = 0; j < 4; ++j) {
            const char c = text[i + j];
            const char* at = c == '\0' ? nullptr : std::strchr(Base64Alphabet, c);
            if (c == '=' && i + 4 == text.size() && j >= 2) {
                ++pad;
                chunk <<= 6;
                continue;
            }
            if (at == nullptr || pad > 0) return false;
            chunk = (chunk << 6) | static_cast<std::uint32_t>(at - Base64Alphabet);
        }
        // Bits below the last byte must be zero, so that each byte string has one spelling.
        if ((pad == 1 && (chunk & 0xFF) != 0) || (pad == 2 && (chunk & 0xFFFF) != 0)) return false;
        for (int j = 0; j < 3 - pad; ++j) bytes += static_cast<char>(chunk >> (16 - 8 * j));
    }
    return true;
}

std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char c = byte(at);
    if (c < 0x80) return 1;
    std::size_t n = 0;
    std::uint32_t cp = 0;
    if ((c & 0xE0) == 0xC0) {
        n = 2;
        cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3;
        cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (at + n > text.size()) return 0;
    for (std::size_t i = 1; i < n; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(at + i) & 0x3F);
    }
    const std::uint32_t least[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}
