#pragma once
// TLangList: the language packs. Finds the language files, picks one at the first activation
// (the stored choice, else the user's language), applies a file to every form by setting the
// texts of their named components (paths "Form.name"), and writes the reference file that
// lists every translatable English text ("-co").
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "lang/U_LangFile.h"
#include "lang/U_LangProps.h"

class QWidget;
class TTextStorage;

// Names and paths compared without regard to case.
struct TLessIgnoringCase {
    bool operator()(const QString& a, const QString& b) const {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    }
};

class TLangList : public QObject {
    Q_OBJECT

public:
    // `executablePath` fixes the base folder (empty: the running program).
    explicit TLangList(QObject* owner, const std::string& executablePath = {});
    ~TLangList() override;

    // ---- Published properties ----
    std::string FilePrefix;
    std::string SubDir; // a folder below each of Folders, ending in "/"; empty: the folders
    std::string RegKey = "Software\\Dalvex\\Localization";
    bool Autoload = true;
    // Names or whole paths left out of the listing (their owned components still count).
    void AddExcluded(const QString& nameOrPath) { excluded_[nameOrPath] = true; }
    bool IsExcluded(const QString& name, const QString& path) const;
    // May veto a switch: (old key, new key) -> allowed.
    std::function<bool(std::uint32_t, std::uint32_t)> BeforeLanguageSwitch;
    std::function<void()> AfterLanguageSwitch;

    // ---- The forms ----
    // Forms in creation order, the main form first; their named objects are their components.
    void AddForm(QWidget* form);
    // A text storage of `form` published under `name` (its Items are translatable).
    void AddTextStorage(QWidget* form, const QString& name, TTextStorage* storage);
    // A form made only while it is used. The reference file lists a fresh one's components,
    // and each such form gets the applied language when it is shown.
    void AddTransientForm(const QString& name, std::function<QWidget*()> make);
    // Every translatable component, in ownership order, the excluded ones left out.
    std::vector<TLangComponent> ListComponents() const;

    // ---- Languages ----
    // The folders searched, in order (the first that has a file wins); LanguageFolder() first.
    std::vector<std::string> Folders;
    std::string LanguageFolder() const;
    const std::vector<TLanguageListing>& Languages() const { return languages_; }
    bool ScanLanguages();
    int LanguageIndex() const { return languageIndex_; }
    // Switches to entry i: veto, store (with Autoload), apply, AfterLanguageSwitch on success.
    // A file this program cannot read is reported in a message box.
    void SetLanguageIndex(int i);
    // Header text 2 of the applied file; empty when none is applied.
    std::string CurrentLanguageName() const;
    const TLanguageRecord& AppliedLanguage() const { return applied_; }
    bool LastApplySucceeded() const { return appliedOk_; }

    // Once: "-co" (or "/co") among `arguments` writes the reference file first; then scan and,
    // with Autoload, restore the stored language.
    void FirstActivation(const QStringList& arguments);
    bool Activated() const { return activated_; }
    void RestoreLanguage();
    void SelectUserDefault(std::uint16_t langId);
    void SelectUserDefault();
    void StoreLanguage();

    // Applies a language file to every form. False when the file is missing, does not open,
    // or has 5 records or fewer; throws ELanguageFormat for a revision above 4 before any
    // component changes.
    bool ApplyLanguageFile(const std::string& path);
    // The reference file's path: the executable's folder when it can be written there, else
    // the current folder.
    std::string ReferenceFileName() const;
    // Writes the reference file; returns its path. Throws EMorvantaError when it cannot.
    std::string WriteReferenceFile(std::uint32_t version);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct TStorageEntry {
        QPointer<QWidget> Form;
        QString Name;
        TTextStorage* Storage;
    };
    std::vector<TLangComponent> ListForm(QWidget* form) const;
    // Applies the file to these components; false when it does not open. Throws
    // ELanguageFormat before any change for a revision above 4.
    bool ApplyTo(const std::string& path, const std::vector<TLangComponent>& components,
                 TLanguageRecord& record);
    void ApplyToLateForm(QWidget* form);

    std::string baseFolder_;
    std::string exePath_;
    std::map<QString, bool, TLessIgnoringCase> excluded_;
    std::vector<QPointer<QWidget>> forms_;
    std::vector<TStorageEntry> storages_;
    std::map<QString, std::function<QWidget*()>, TLessIgnoringCase> transient_;
    std::vector<TLanguageListing> languages_;
    int languageIndex_ = 0;
    TLanguageRecord applied_;
    bool hasApplied_ = false;
    bool appliedOk_ = false;
    std::string appliedPath_;
    int generation_ = 0; // counts successful applies; late forms catch up to it
    bool activated_ = false;
};
