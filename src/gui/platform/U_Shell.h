#pragma once
// Message boxes and hand-offs to the desktop. Every one goes through ShellHooks(), which tests
// replace so that no test waits on a modal box or starts a real program.
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// Message box kinds and results, with the values callers compare against.
enum TMessageKind { mkMessage = 0, mkWarning = 1, mkError = 2, mkQuestion = 3, mkInformation = 4 };
constexpr int idOk = 1;
constexpr int idYes = 6;
constexpr int idNo = 7;
constexpr int swShowNormal = 1;

struct TShellHooks {
    // Shows `text` under `caption`; returns idOk, idYes or idNo.
    std::function<int(QWidget* owner, const QString& text, const QString& caption, bool yesNo,
                      int kind)>
        MessageBox;
    // Opens a file, folder or web address with the desktop's default handler.
    std::function<bool(const QString& target)> OpenUrl;
    // Starts a program with an argument list (never through a shell).
    std::function<bool(const QString& program, const QStringList& arguments)> StartProgram;
};

// The hooks in force; the defaults use QMessageBox, QDesktopServices and QProcess.
TShellHooks& ShellHooks();
// Puts the real implementations back.
void ResetShellHooks();

// Caption by kind: "Message", "Warning", "Error", "Question", "Information".
QString MessageBoxCaption(int kind);
int ShowMessageBox(QWidget* owner, const QString& text, bool yesNo, int kind);

// Opens `target`: a program file is started with `parameters` as its arguments, anything else
// (a document, a folder, a web address) goes to the desktop. The verb and show command are
// accepted for the callers' sake and have no effect here.
bool OpenWithShell(const QString& target, const QStringList& parameters = {},
                   const QString& verb = {}, int showCommand = swShowNormal);
// Hands a document, folder or web address to the desktop, never running it as a program.
bool OpenDocument(const QString& target);
bool OpenFromWindow(QWidget* owner, const QString& verb, const QString& file,
                    const QStringList& parameters = {}, const QString& folder = {},
                    int showCommand = swShowNormal);
