#pragma once
// The about box: the application's name and version, set afresh each time it opens so that
// a language switch shows in the next opening.
#include <QDialog>
#include <QString>
#include <functional>

class QLabel;
class QPushButton;

class TAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit TAboutDlg(QWidget* parent = nullptr);

    QString AppTitle = "Morvanta";
    // The executable's version text, filled by the caller (from the embedded version block).
    QString VersionText;
    // Looks up the dialog's English texts ("About", "Application Name :", "Version :") in the
    // current language; the texts stay English while it is unset.
    std::function<QString(const QString&)> Translate;

    // Sets the caption and both labels, then shows the box modally.
    void Execute();

    QLabel* appname_lbl = nullptr;
    QLabel* version_lbl = nullptr;
    QPushButton* ok_btn = nullptr;

private:
    QString Text(const QString& english) const;
};
