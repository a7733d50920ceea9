#pragma once
// The about box: the application's name and version, set afresh each time it opens so that
// a language switch shows in the next opening.
#include <QDialog>
#include <QString>

#include "lang/U_TextStorage.h"

class QLabel;
class QPushButton;

class TAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit TAboutDlg(QWidget* parent = nullptr);

    QString AppTitle = "Morvanta";
    // The version text to show; when empty, the running executable's (its version block).
    QString VersionText;
    // The dialog's own texts, which a language file translates line by line.
    TTextStorage about_ts{{"About", "Application Name :", "Version :"}};

    // Sets the caption and both labels, then shows the box modally.
    void Execute();

    QLabel* appname_lbl = nullptr;
    QLabel* version_lbl = nullptr;
    QPushButton* ok_btn = nullptr;

private:
    QString Text(const QString& english) const;
};
