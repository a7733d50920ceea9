// TLangList: the forms and their components, the language list, the choice of a language at
// the first activation and its storage in the user settings.
#include "lang/U_LangList.h"

#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QWidget>
#include <iostream>
#include <set>

#include "lang/U_LanguageTable.h"
#include "lang/U_VersionInfo.h"
#include "platform/U_AppPaths.h"
#include "platform/U_Shell.h"
#include "platform/os/U_Settings.h"

namespace {

std::string FolderOfFile(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The menu's own action carries the menu's name and caption; the menu stands for both.
bool IsMenuAction(const QObject* o) {
    const auto* action = qobject_cast<const QAction*>(o);
    const auto* menu = action ? qobject_cast<const QMenu*>(action->parent()) : nullptr;
    return menu && menu->menuAction() == action;
}

// Another window (a dialog made with this form as its parent) is a form of its own; a menu
// is a popup window but belongs to its form.
bool IsOtherForm(const QObject* o) {
    const auto* w = qobject_cast<const QWidget*>(o);
    return w && w->isWindow() && !qobject_cast<const QMenu*>(w);
}

constexpr const char* GenerationProperty = "morvantaLangGeneration";

} // namespace

TLangList::TLangList(QObject* owner, const std::string& executablePath)
    : QObject(owner), exePath_(executablePath.empty() ? ExecutablePath() : executablePath) {
    baseFolder_ = FolderOfFile(exePath_);
    Folders = DataFolders(baseFolder_);
    if (qApp) qApp->installEventFilter(this);
}

TLangList::~TLangList() = default;

bool TLangList::IsExcluded(const QString& name, const QString& path) const {
    return excluded_.contains(name) || excluded_.contains(path);
}

void TLangList::AddForm(QWidget* form) {
    if (form) forms_.emplace_back(form);
}

void TLangList::AddTextStorage(QWidget* form, const QString& name, TTextStorage* storage) {
    if (form && storage) storages_.push_back({form, name, storage});
}

void TLangList::AddTransientForm(const QString& name, std::function<QWidget*()> make) {
    transient_[name] = std::move(make);
}

std::vector<TLangComponent> TLangList::ListForm(QWidget* form) const {
    std::vector<TLangComponent> list;
    const QString formName = form ? form->objectName() : QString();
    if (formName.isEmpty()) return list;
    std::set<QString, TLessIgnoringCase> seen;
    const auto add = [&](TLangComponent c, const QString& name) {
        if (!seen.insert(c.Path).second || IsExcluded(name, c.Path)) return;
        list.push_back(std::move(c));
    };
    add({formName, form, nullptr, true}, formName);
    // Every named object of the form is the form's own, whatever widget it sits in.
    const std::function<void(QObject*)> walk = [&](QObject* parent) {
        for (QObject* child : parent->children()) {
            if (IsOtherForm(child)) continue;
            const QString name = child->objectName();
            // Qt's own inner parts are named "qt_..."; they are not the form's components.
            if (!name.isEmpty() && !name.startsWith("qt_") && !IsMenuAction(child))
                add({formName + "." + name, child, nullptr, false}, name);
            walk(child);
        }
    };
    walk(form);
    for (const TStorageEntry& s : storages_)
        if (s.Form == form) add({formName + "." + s.Name, nullptr, s.Storage, false}, s.Name);
    return list;
}

std::vector<TLangComponent> TLangList::ListComponents() const {
    std::vector<TLangComponent> list;
    std::set<QWidget*> listed;
    for (const QPointer<QWidget>& form : forms_) {
        if (!form || !listed.insert(form).second) continue;
        auto part = ListForm(form);
        list.insert(list.end(), part.begin(), part.end());
    }
    // Forms made only while they are used count while they exist.
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!transient_.contains(w->objectName()) || !listed.insert(w).second) continue;
        auto part = ListForm(w);
        list.insert(list.end(), part.begin(), part.end());
    }
    return list;
}

std::string TLangList::LanguageFolder() const {
    return (Folders.empty() ? baseFolder_ : Folders.front()) + SubDir;
}

bool TLangList::ScanLanguages() {
    std::vector<std::string> folders;
    for (const std::string& f : Folders) folders.push_back(f + SubDir);
    languages_ = ::ScanLanguages(folders, FilePrefix);
    return !languages_.empty();
}

std::string TLangList::CurrentLanguageName() const {
    return hasApplied_ && appliedOk_ ? applied_.Header2 : std::string();
}

void TLangList::SetLanguageIndex(int i) {
    if (i < 0 || i >= static_cast<int>(languages_.size())) return;
    const bool valid = languageIndex_ >= 0 && languageIndex_ < static_cast<int>(languages_.size());
    const std::uint32_t oldKey = valid ? languages_[languageIndex_].Key : 0;
    if (BeforeLanguageSwitch && !BeforeLanguageSwitch(oldKey, languages_[i].Key)) return;
    languageIndex_ = i;
    if (Autoload) StoreLanguage();
    bool ok = false;
    try {
        ok = ApplyLanguageFile(languages_[i].Path);
    } catch (const std::exception& e) {
        QWidget* owner = forms_.empty() ? nullptr : forms_.front().data();
        ShowMessageBox(owner, QString::fromStdString(e.what()), false, mkError);
    }
    if (ok && AfterLanguageSwitch) AfterLanguageSwitch();
}

void TLangList::FirstActivation(const QStringList& arguments) {
    if (activated_) return;
    for (QString argument : arguments) {
        argument = argument.toLower().replace('/', '-');
        if (!argument.startsWith("-co")) continue;
        QApplication::beep();
        ScanLanguages();
        TVersionInfo info;
        info.SetFileName(exePath_);
        try {
            const std::string path = WriteReferenceFile(info.FileVersionInt());
            std::cout << "Reference language file written to " << path << std::endl;
        } catch (const std::exception& e) {
            std::cerr << e.what() << std::endl;
        }
        break;
    }
    ScanLanguages();
    if (Autoload) RestoreLanguage();
    activated_ = true;
}

void TLangList::RestoreLanguage() {
    if (RegKey.empty()) return;
    const auto stored = ReadDwordValue(TSettingsHive::User, RegKey, objectName().toStdString());
    if (!stored) {
        SelectUserDefault();
        return;
    }
    // A stored choice that matches no file applies nothing; the user's language is not tried.
    SetLanguageIndex(MatchStoredLanguage(languages_, *stored));
}

void TLangList::SelectUserDefault(std::uint16_t langId) {
    SetLanguageIndex(MatchUserLanguage(languages_, langId));
}

void TLangList::SelectUserDefault() {
    SelectUserDefault(UserDefaultLangId());
}

void TLangList::StoreLanguage() {
    if (RegKey.empty() || languageIndex_ < 0 ||
        languageIndex_ >= static_cast<int>(languages_.size()))
        return;
    WriteDwordValue(TSettingsHive::User, RegKey, objectName().toStdString(),
                    languages_[languageIndex_].Key);
}

bool TLangList::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && appliedOk_ && transient_.contains(watched->objectName())) {
        auto* form = qobject_cast<QWidget*>(watched);
        if (form && form->isWindow() && form->property(GenerationProperty).toInt() != generation_)
            ApplyToLateForm(form);
    }
    return QObject::eventFilter(watched, event);
}

void TLangList::ApplyToLateForm(QWidget* form) {
    form->setProperty(GenerationProperty, generation_);
    try {
        TLanguageRecord record;
        ApplyTo(appliedPath_, ListForm(form), record);
    } catch (const std::exception&) {
        // The file was read when it was applied; one changed since then leaves this form as is.
    }
}
