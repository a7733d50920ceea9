#include "U_FileDialogs.h"

#include <QFileDialog>

namespace {

QStringList RealRun(const TFileDialogRequest& request) {
    QFileDialog dialog(request.Owner, request.Caption, request.InitialFolder);
    dialog.setNameFilters(NameFilters(request.Filter));
    // The bracket patterns are for matching, not for reading: show the filters' names only.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    switch (request.Mode) {
    case TFileDialogMode::Open:
        dialog.setFileMode(QFileDialog::ExistingFile);
        break;
    case TFileDialogMode::OpenMany:
        dialog.setFileMode(QFileDialog::ExistingFiles);
        break;
    case TFileDialogMode::Save:
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(request.DefaultSuffix);
        // A name typed without an extension takes the chosen file type's, not always the first.
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog, filter = request.Filter](const QString& chosen) {
                             const QString suffix = SuffixOfNameFilter(filter, chosen);
                             if (!suffix.isEmpty()) dialog.setDefaultSuffix(suffix);
                         });
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.ConfirmOverwrite);
        break;
    }
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles();
}

} // namespace

TFileDialogHooks& FileDialogHooks() {
    static TFileDialogHooks hooks{RealRun};
    return hooks;
}

void ResetFileDialogHooks() {
    FileDialogHooks() = TFileDialogHooks{RealRun};
}

QStringList RunFileDialog(const TFileDialogRequest& request) {
    return FileDialogHooks().Run(request);
}

QString OpenFileDialog(QWidget* owner, const QString& initialFolder, const QString& filter) {
    TFileDialogRequest request;
    request.Owner = owner;
    request.InitialFolder = initialFolder;
    request.Filter = filter;
    const QStringList chosen = RunFileDialog(request);
    return chosen.isEmpty() ? QString() : chosen.front();
}

QString SaveFileDialog(QWidget* owner, const QString& initialFolder, const QString& filter,
                       const QString& defaultSuffix, bool confirmOverwrite) {
    TFileDialogRequest request;
    request.Mode = TFileDialogMode::Save;
    request.Owner = owner;
    request.InitialFolder = initialFolder;
    request.Filter = filter;
    request.DefaultSuffix = defaultSuffix;
    request.ConfirmOverwrite = confirmOverwrite;
    const QStringList chosen = RunFileDialog(request);
    return chosen.isEmpty() ? QString() : chosen.front();
}

QString CaseInsensitivePattern(const QString& pattern) {
    QString result;
    for (const QChar c : pattern) {
        const QChar lower = c.toLower(), upper = c.toUpper();
        if (lower == upper)
            result += c;
        else
            result += QString("[%1%2]").arg(lower, upper);
    }
    return result;
}

QStringList NameFilters(const QString& filter) {
    const QStringList parts = filter.split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(';', Qt::SkipEmptyParts))
            patterns << CaseInsensitivePattern(pattern.trimmed());
        filters << QString("%1 (%2)").arg(parts[i], patterns.join(' '));
    }
    return filters;
}

QString SuffixOfNameFilter(const QString& filter, const QString& nameFilter) {
    const QStringList parts = filter.split('|');
    const qsizetype index = NameFilters(filter).indexOf(nameFilter);
    if (index < 0 || 2 * index + 1 >= parts.size()) return {};
    const QString pattern = parts[2 * index + 1].section(';', 0, 0);
    return pattern.startsWith("*.") && !pattern.mid(2).contains('*') ? pattern.mid(2) : QString();
}
