#include "U_Shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

namespace {

int RealMessageBox(QWidget* owner, const QString& text, const QString& caption, bool yesNo,
                   int kind) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (kind) {
    case mkWarning:
        icon = QMessageBox::Warning;
        break;
    case mkError:
        icon = QMessageBox::Critical;
        break;
    case mkQuestion:
        icon = QMessageBox::Question;
        break;
    case mkInformation:
        icon = QMessageBox::Information;
        break;
    default:
        break;
    }
    QMessageBox box(icon, caption, text,
                    yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, owner);
    const int answer = box.exec();
    if (!yesNo) return idOk;
    return answer == QMessageBox::Yes ? idYes : idNo;
}

bool RealOpenUrl(const QString& target) {
    const QUrl url = target.contains("://") ? QUrl(target) : QUrl::fromLocalFile(target);
    return QDesktopServices::openUrl(url);
}

bool RealStartProgram(const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
}

TShellHooks RealHooks() {
    return {RealMessageBox, RealOpenUrl, RealStartProgram};
}

} // namespace

TShellHooks& ShellHooks() {
    static TShellHooks hooks = RealHooks();
    return hooks;
}

void ResetShellHooks() {
    ShellHooks() = RealHooks();
}

QString MessageBoxCaption(int kind) {
    switch (kind) {
    case mkWarning:
        return "Warning";
    case mkError:
        return "Error";
    case mkQuestion:
        return "Question";
    case mkInformation:
        return "Information";
    default:
        return "Message";
    }
}

int ShowMessageBox(QWidget* owner, const QString& text, bool yesNo, int kind) {
    return ShellHooks().MessageBox(owner, text, MessageBoxCaption(kind), yesNo, kind);
}

bool OpenWithShell(const QString& target, const QStringList& parameters, const QString&, int) {
    if (target.isEmpty()) return false;
    const QFileInfo info(target);
    if (info.isFile() && info.isExecutable()) return ShellHooks().StartProgram(target, parameters);
    return ShellHooks().OpenUrl(target);
}

bool OpenDocument(const QString& target) {
    return !target.isEmpty() && ShellHooks().OpenUrl(target);
}

bool OpenFromWindow(QWidget*, const QString& verb, const QString& file,
                    const QStringList& parameters, const QString&, int showCommand) {
    return OpenWithShell(file, parameters, verb, showCommand);
}
