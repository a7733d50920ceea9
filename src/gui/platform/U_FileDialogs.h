#pragma once
// Open and save dialogs. Every one goes through FileDialogHooks(), which tests replace so that
// no test waits on a modal dialog. Filters are written as "Name|*.a;*.b|Other|*.c" and match
// extensions without regard to case.
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

enum class TFileDialogMode { Open, OpenMany, Save };

struct TFileDialogRequest {
    TFileDialogMode Mode = TFileDialogMode::Open;
    QWidget* Owner = nullptr;
    QString Caption;
    QString InitialFolder; // empty: the dialog's default
    QString Filter;        // "JPEG|*.jpeg;*.jpg|Bitmap|*.bmp"
    QString DefaultSuffix; // save dialogs: added to a name typed without an extension
    bool ConfirmOverwrite = true;
};

struct TFileDialogHooks {
    // The chosen files; empty when the dialog was cancelled.
    std::function<QStringList(const TFileDialogRequest&)> Run;
};

TFileDialogHooks& FileDialogHooks();
void ResetFileDialogHooks();

QStringList RunFileDialog(const TFileDialogRequest& request);
// Single-file forms: the chosen file or an empty text.
QString OpenFileDialog(QWidget* owner, const QString& initialFolder, const QString& filter);
QString SaveFileDialog(QWidget* owner, const QString& initialFolder, const QString& filter,
                       const QString& defaultSuffix, bool confirmOverwrite);

// A glob pattern that matches `pattern` in any case: "*.jpg" gives "*.[jJ][pP][gG]".
QString CaseInsensitivePattern(const QString& pattern);
// "Name|*.a;*.b|..." as Qt name filters, each pattern made case-insensitive:
// {"Name (*.[aA] *.[bB])", ...}.
QStringList NameFilters(const QString& filter);
// The extension a save dialog adds for the file type `nameFilter` (one of NameFilters(filter)):
// its first pattern's, "mp4" for "*.mp4"; empty when it has none.
QString SuffixOfNameFilter(const QString& filter, const QString& nameFilter);
