// TLangList: applying a language file to the components, and writing the reference file.
#include <unistd.h>

#include <QDir>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <system_error>
#include <unordered_map>

#include "lang/U_LangList.h"
#include "lang/U_Storefile.h"

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// Points (or pixels, for a font sized in pixels) below the file's minimum size are raised.
bool RaiseToMinimum(QFont& font, int minimum) {
    if (minimum <= 0) return false;
    if (font.pointSizeF() > 0) {
        if (font.pointSizeF() >= minimum) return false;
        font.setPointSizeF(minimum);
        return true;
    }
    const int pixels = (minimum * 96 + 71) / 72;
    if (font.pixelSize() <= 0 || font.pixelSize() >= pixels) return false;
    font.setPixelSize(pixels);
    return true;
}

void ApplyFonts(const std::vector<TLangComponent>& components, const QString& mainFamily,
                const TLanguageRecord& record) {
    const QString fileFamily = Q(record.FontName);
    for (const TLangComponent& c : components) {
        std::optional<QFont> font = ComponentFont(c);
        if (!font) continue;
        bool changed = false;
        // Only the texts in the main form's face follow the language's face; a font chosen on
        // purpose (a logo, a symbol face) stays. A file without a font name changes none.
        if (!fileFamily.isEmpty() && font->family() == mainFamily && fileFamily != mainFamily) {
            font->setFamily(fileFamily);
            changed = true;
        }
        if (record.Revision == 4) changed = RaiseToMinimum(*font, record.MinFontSize) || changed;
        if (changed) SetComponentFont(c, *font);
    }
}

void ApplyEntry(const TLangComponent& c, const TLanguageEntry& entry, int revision) {
    const std::optional<int> index = ComponentItemIndex(c);
    if (revision >= 3) SetComponentAlignment(c, entry.Alignment);
    if (entry.HasCaption && TLanguageEntry::Applies(entry.Caption, revision))
        SetComponentCaption(c, Q(entry.Caption.Text));
    if (entry.HasHint && TLanguageEntry::Applies(entry.Hint, revision))
        SetComponentHint(c, Q(entry.Hint.Text), revision == 0 || entry.Hint.ShowHint());
    if (entry.HasItems && TLanguageEntry::Applies(entry.Items, revision)) {
        QStringList lines;
        for (const std::string& line : SplitLines(entry.Items.Text)) lines << Q(line);
        ReplaceComponentItems(c, lines);
    }
    if (index) SetComponentItemIndex(c, *index);
}

} // namespace

bool TLangList::ApplyTo(const std::string& path, const std::vector<TLangComponent>& components,
                        TLanguageRecord& record) {
    TStorefile store;
    if (!OpenLanguageFile(store, path)) return false;
    record = ReadLanguageHeader(store); // a revision above 4 stops here, before any change
    const int revision = record.Revision;
    if (revision >= 1) {
        const QWidget* main = forms_.empty() ? nullptr : forms_.front().data();
        ApplyFonts(components, main ? main->font().family() : QString(), record);
    }
    std::unordered_map<QString, const TLangComponent*> byPath;
    for (const TLangComponent& c : components) byPath.emplace(c.Path.toCaseFolded(), &c);
    TLanguageEntry entry;
    // The store stops at the first record that does not fit the file, so a damaged file ends
    // the entries early rather than running past its end.
    while (ReadLanguageEntry(store, revision, entry)) {
        const auto found = byPath.find(Q(entry.Path).toCaseFolded());
        if (found != byPath.end()) ApplyEntry(*found->second, entry, revision);
    }
    return true;
}

bool TLangList::ApplyLanguageFile(const std::string& path) {
    TLanguageRecord record;
    appliedOk_ = false;
    if (!ApplyTo(path, ListComponents(), record)) return false;
    applied_ = record;
    hasApplied_ = appliedOk_ = true;
    appliedPath_ = path;
    ++generation_;
    return true;
}

std::string TLangList::ReferenceFileName() const {
    const std::string name = FilePrefix + "ORIGINAL.SPK";
    const std::string folder = LanguageFolder();
    if (!folder.empty() && ::access(folder.c_str(), W_OK) == 0) return folder + name;
    return QDir::currentPath().toStdString() + "/" + name;
}

std::string TLangList::WriteReferenceFile(std::uint32_t version) {
    const std::string path = ReferenceFileName();
    std::error_code ec;
    std::filesystem::remove(path, ec);
    TStorefile store;
    store.Signature = std::string(LanguageFileSignature);
    store.Filename = path;
    if (!store.Open()) throw EMorvantaError("Cannot write the reference language file " + path);

    const QWidget* main = forms_.empty() ? nullptr : forms_.front().data();
    TLanguageRecord header;
    header.Version = static_cast<std::int32_t>(version);
    header.FontName = main ? main->font().family().toStdString() : std::string();
    header.Charset = 1;
    header.MinFontSize = 8;
    WriteLanguageHeader(store, header);

    std::vector<TLangComponent> list = ListComponents();
    // Forms made only while in use are made once here, so that their texts are listed too.
    std::vector<std::unique_ptr<QWidget>> made;
    for (const auto& [name, make] : transient_) {
        bool open = false;
        for (const TLangComponent& c : list) open = open || (c.IsForm && c.Path == name);
        if (open || !make) continue;
        made.emplace_back(make());
        auto part = ListForm(made.back().get());
        list.insert(list.end(), part.begin(), part.end());
    }
    for (const TLangComponent& c : list) {
        TLanguageEntry entry;
        entry.Path = c.Path.toStdString();
        if (auto caption = ComponentCaption(c); caption && !caption->trimmed().isEmpty()) {
            entry.HasCaption = true;
            entry.Caption = {TextKindCaption, caption->toStdString()};
        }
        if (auto hint = ComponentHint(c); hint && !hint->trimmed().isEmpty()) {
            entry.HasHint = true;
            entry.Hint = {TextKindHint + (ComponentShowHint(c) ? TextShowHint : 0),
                          hint->toStdString()};
        }
        if (auto items = ComponentItems(c); items && !items->isEmpty()) {
            std::vector<std::string> lines;
            for (const QString& line : *items) lines.push_back(line.toStdString());
            entry.HasItems = true;
            entry.Items = {TextKindItems, JoinLines(lines)};
        }
        if (entry.HasCaption || entry.HasHint || entry.HasItems) AppendLanguageEntry(store, entry);
    }
    store.Close();
    return path;
}
